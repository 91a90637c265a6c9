#include "core/XmlParser.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <utility>

#include "core/Fetcher.h"
#include "core/LocalFile.h"

namespace quorvel {
namespace {

// Never NOENT, DTDLOAD, DTDVALID, HUGE, RECOVER or XINCLUDE: entities stay unexpanded and nothing
// outside the bytes given is ever read. COMPACT keeps short texts inside their nodes (far fewer
// allocations); loaded documents are only ever read, never edited.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

void IgnoreStructuredError(void*, xmlErrorPtr) {}
void IgnoreGenericError(void*, const char*, ...) {}

bool IsRemoteAddress(const std::string& source) {
  return source.starts_with("http://") || source.starts_with("https://");
}

}  // namespace

// libxml2 writes its diagnostics to stderr unless told otherwise, and it may try to resolve
// external entities through its global loader. Both are per-thread globals, so set them on every
// thread that touches a document.
void QuietLibxml() {
  thread_local bool done = false;
  if (done) return;
  done = true;
  xmlInitParser();
  xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
  xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
  xmlSetExternalEntityLoader(
      [](const char*, const char*, xmlParserCtxtPtr) -> xmlParserInputPtr { return nullptr; });
}

ParseVerdict& VerdictOf(void* parserContext) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
  return *static_cast<ParseVerdict*>(ctxt->_private);
}

namespace {

// A DOCTYPE can declare entities that expand without bound or point at local files: stop at once.
void RefuseDoctype(void* parserContext, const xmlChar*, const xmlChar*, const xmlChar*) {
  VerdictOf(parserContext).hasDoctype = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(parserContext));
}

void RecordParseError(void* parserContext, xmlErrorPtr error) {
  if (error && error->level >= XML_ERR_ERROR) VerdictOf(parserContext).hasError = true;
}

}  // namespace

ParserCtxtPtr NewParser(const std::string& bytes, ParseVerdict& verdict) {
  if (bytes.empty() || bytes.size() > kMaxDocumentBytes) return nullptr;
  QuietLibxml();
  ParserCtxtPtr ctxt(xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
  if (!ctxt) return nullptr;
  ctxt->_private = &verdict;
  xmlCtxtUseOptions(ctxt.get(), kParseOptions);
  ctxt->sax->internalSubset = RefuseDoctype;
  ctxt->sax->externalSubset = RefuseDoctype;
  ctxt->sax->serror = RecordParseError;
  return ctxt;
}

bool Accepted(const xmlParserCtxt& ctxt, const ParseVerdict& verdict) {
  return ctxt.wellFormed && !verdict.hasDoctype && !verdict.hasError;
}

XmlDocPtr ParseBytes(const std::string& bytes) {
  ParseVerdict verdict;
  ParserCtxtPtr ctxt = NewParser(bytes, verdict);
  if (!ctxt) return nullptr;
  xmlParseDocument(ctxt.get());
  XmlDocPtr doc(ctxt->myDoc);
  ctxt->myDoc = nullptr;
  if (!Accepted(*ctxt, verdict)) return nullptr;
  if (!doc || doc->intSubset || doc->extSubset || !xmlDocGetRootElement(doc.get())) return nullptr;
  return doc;
}

std::string ReadDocumentBytes(const std::string& source) {
  if (IsRemoteAddress(source)) {
    FetchResult fetched = CurrentFetcher().Fetch(source);
    return fetched.ok ? std::move(fetched.body) : std::string();
  }
  return source.empty() ? std::string() : ReadLocalFile(source, kMaxDocumentBytes);
}

}  // namespace quorvel
