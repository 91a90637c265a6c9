#include "core/XmlScanner.h"

#include <algorithm>
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
  std::span<const ChildTextPath> paths;
  int depth = 0;
  bool sawRoot = false;
  bool inRoot = false;
  const ChildTextPath* element = nullptr;  // the path of the element being read, if any
  std::vector<std::string>* elementTexts = nullptr;
  bool childSeen = false;
  int childDepth = 0;  // depth of the child being read, 0 when none
  std::string text;
  std::vector<std::vector<std::string>> texts;  // one list per path
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
    scan.element = nullptr;
    scan.childSeen = false;
    for (std::size_t k = 0; k < scan.paths.size(); ++k) {
      if (IsUnqualified(localName, uri, scan.paths[k].elementName)) {
        scan.element = &scan.paths[k];
        scan.elementTexts = &scan.texts[k];
        scan.elementTexts->emplace_back();
        break;
      }
    }
  } else if (scan.depth == 3 && scan.element && !scan.childSeen &&
             HasWrittenName(localName, prefix, scan.element->childName)) {
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
    scan.elementTexts->back() = Trimmed(scan.text);
  }
  if (scan.depth == 2) scan.element = nullptr;
  --scan.depth;
}

// Text and CDATA anywhere inside the child: what xmlNodeGetContent joins.
void ScanCharacters(void* parserContext, const xmlChar* characters, int length) {
  ChildTextScan& scan = ScanOf(parserContext);
  if (scan.childDepth) scan.text.append(reinterpret_cast<const char*>(characters), length);
}

}  // namespace

std::vector<std::vector<std::string>> StreamChildTexts(const std::string& source,
                                                       const char* rootName,
                                                       std::span<const ChildTextPath> paths) {
  const auto named = [](const ChildTextPath& path) { return path.elementName && path.childName; };
  if (!rootName || !std::all_of(paths.begin(), paths.end(), named)) {
    return std::vector<std::vector<std::string>>(paths.size());
  }
  // Out of memory reads as a load that failed.
  return NoThrow(std::vector<std::vector<std::string>>(paths.size()), [&] {
    std::vector<std::vector<std::string>> none(paths.size());
    const std::string bytes = ReadDocumentBytes(source);
    ChildTextScan scan;
    scan.rootName = rootName;
    scan.paths = paths;
    scan.texts.resize(paths.size());
    ParserCtxtPtr ctxt = NewParser(bytes, scan.verdict);
    if (!ctxt) return none;
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
    if (!Accepted(*ctxt, scan.verdict) || !scan.sawRoot) return none;
    return std::move(scan.texts);
  });
}

std::vector<std::string> StreamChildTexts(const std::string& source, const char* rootName,
                                          const char* elementName, const char* childName) {
  const ChildTextPath path{elementName, childName};
  return std::move(StreamChildTexts(source, rootName, std::span(&path, 1)).front());
}

}  // namespace quorvel
