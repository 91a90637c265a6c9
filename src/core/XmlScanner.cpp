#include "core/XmlScanner.h"

#include <cstring>
#include <type_traits>
#include <utility>

#include "core/NoThrow.h"
#include "core/XmlParser.h"
#include "core/XmlText.h"

namespace quorvel {
namespace {

// What a streamed read keeps while the parser walks the document; a ParseVerdict first, so the
// parser's shared callbacks find theirs.
struct ChildTextScan {
  ParseVerdict verdict;
  const char* rootName = nullptr;
  const char* elementName = nullptr;
  const char* childName = nullptr;
  int depth = 0;
  bool sawRoot = false;
  bool inRoot = false;
  bool inElement = false;
  bool childSeen = false;
  int childDepth = 0;  // depth of the child being read, 0 when none
  std::string text;
  std::vector<std::string> texts;
};
static_assert(std::is_standard_layout_v<ChildTextScan>);

ChildTextScan& ScanOf(void* parserContext) {
  return *reinterpret_cast<ChildTextScan*>(&VerdictOf(parserContext));
}

// XPath's name test without a prefix: that local name, in no namespace.
bool IsUnqualified(const xmlChar* localName, const xmlChar* uri, const char* name) {
  return !uri && std::strcmp(reinterpret_cast<const char*>(localName), name) == 0;
}

void ScanStartElement(void* parserContext, const xmlChar* localName, const xmlChar* prefix,
                      const xmlChar* uri, int, const xmlChar**, int, int, const xmlChar**) {
  ChildTextScan& scan = ScanOf(parserContext);
  ++scan.depth;
  if (scan.depth == 1) {
    scan.sawRoot = true;
    scan.inRoot = IsUnqualified(localName, uri, scan.rootName);
  } else if (scan.depth == 2 && scan.inRoot) {
    scan.inElement = IsUnqualified(localName, uri, scan.elementName);
    scan.childSeen = false;
    if (scan.inElement) scan.texts.emplace_back();
  } else if (scan.depth == 3 && scan.inElement && !scan.childSeen &&
             HasWrittenName(localName, prefix, scan.childName)) {
    // ReadChildText's rule: the first child whose name as written is childName.
    scan.childSeen = true;
    scan.childDepth = 3;
    scan.text.clear();
  }
}

void ScanEndElement(void* parserContext, const xmlChar*, const xmlChar*, const xmlChar*) {
  ChildTextScan& scan = ScanOf(parserContext);
  if (scan.childDepth == scan.depth) {
    scan.childDepth = 0;
    scan.texts.back() = Trimmed(scan.text);
  }
  if (scan.depth == 2) scan.inElement = false;
  --scan.depth;
}

// Text and CDATA anywhere inside the child: what xmlNodeGetContent joins.
void ScanCharacters(void* parserContext, const xmlChar* characters, int length) {
  ChildTextScan& scan = ScanOf(parserContext);
  if (scan.childDepth) scan.text.append(reinterpret_cast<const char*>(characters), length);
}

}  // namespace

std::vector<std::string> StreamChildTexts(const std::string& source, const char* rootName,
                                          const char* elementName, const char* childName) {
  if (!rootName || !elementName || !childName) return {};
  // Out of memory reads as a load that failed.
  return NoThrow(std::vector<std::string>(), [&]() -> std::vector<std::string> {
    const std::string bytes = ReadDocumentBytes(source);
    ChildTextScan scan;
    scan.rootName = rootName;
    scan.elementName = elementName;
    scan.childName = childName;
    ParserCtxtPtr ctxt = NewParser(bytes, scan.verdict);
    if (!ctxt) return {};
    // No tree: only the callbacks that feed the scan. Comments and processing instructions add
    // nothing to an element's text.
    xmlSAXHandler* sax = ctxt->sax;
    sax->startElementNs = ScanStartElement;
    sax->endElementNs = ScanEndElement;
    sax->characters = ScanCharacters;
    sax->ignorableWhitespace = ScanCharacters;
    sax->cdataBlock = ScanCharacters;
    sax->comment = nullptr;
    sax->processingInstruction = nullptr;
    xmlParseDocument(ctxt.get());
    const XmlDocPtr discarded(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    if (!Accepted(*ctxt, scan.verdict) || !scan.sawRoot) return {};
    return std::move(scan.texts);
  });
}

}  // namespace quorvel
