#include "core/XmlDocument.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/AtomicFile.h"
#include "core/Fetcher.h"
#include "core/Handles.h"

namespace quorvel {
namespace {

constexpr const char* kSchemaInstanceUri = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char* kSchemaUri = "http://www.w3.org/2001/XMLSchema";

// Never NOENT, DTDLOAD, DTDVALID, HUGE, RECOVER or XINCLUDE: entities stay unexpanded and nothing
// outside the bytes given is ever read. COMPACT keeps short texts inside their nodes (far fewer
// allocations); loaded documents are only ever read, never edited.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

const xmlChar* Xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}
const char* Chars(const xmlChar* text) {
  return reinterpret_cast<const char*>(text);
}

void IgnoreStructuredError(void*, xmlErrorPtr) {}
void IgnoreGenericError(void*, const char*, ...) {}

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

std::string Trimmed(std::string_view text);
bool HasWrittenName(const xmlChar* localName, const xmlChar* prefix, const char* name);

// What the parse callbacks learn about the document while it is read.
struct ParseVerdict {
  bool hasDoctype = false;
  bool hasError = false;
};

ParseVerdict& VerdictOf(void* parserContext) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
  return *static_cast<ParseVerdict*>(ctxt->_private);
}

// What a streamed read keeps while the parser walks the document; a ParseVerdict first, so the
// shared callbacks find theirs.
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

// A DOCTYPE can declare entities that expand without bound or point at local files: stop at once.
void RefuseDoctype(void* parserContext, const xmlChar*, const xmlChar*, const xmlChar*) {
  VerdictOf(parserContext).hasDoctype = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(parserContext));
}

void RecordParseError(void* parserContext, xmlErrorPtr error) {
  if (error && error->level >= XML_ERR_ERROR) VerdictOf(parserContext).hasError = true;
}

// A parser for the bytes with the refusals every read shares; null when the bytes are refused
// before parsing (empty or too large).
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

// A regular file of at most kMaxDocumentBytes, read whole; anything else reads as nothing. FIFOs
// and devices are refused before a read could block or run forever.
std::string ReadLocalFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  std::string bytes;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= kMaxDocumentBytes) {
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
      if (bytes.size() > kMaxDocumentBytes) {
        bytes.clear();
        break;
      }
    }
  }
  close(fd);
  return bytes;
}

bool IsRemoteAddress(const std::string& source) {
  return source.starts_with("http://") || source.starts_with("https://");
}

std::string Trimmed(std::string_view text) {
  constexpr std::string_view kXmlSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kXmlSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kXmlSpace);
  return std::string(text.substr(first, last - first + 1));
}

std::string TakeXmlString(xmlChar* owned) {
  const XmlCharsPtr text(owned);
  return text ? std::string(Chars(text.get())) : std::string();
}

// The name as written in the document, prefix included ("showrss:showid").
bool HasWrittenName(const xmlChar* localName, const xmlChar* prefix, const char* name) {
  const char* local = Chars(localName);
  if (prefix) {
    const char* written = Chars(prefix);
    const std::size_t prefixLength = std::strlen(written);
    return std::strncmp(name, written, prefixLength) == 0 && name[prefixLength] == ':' &&
           std::strcmp(name + prefixLength + 1, local) == 0;
  }
  return std::strcmp(name, local) == 0;
}

bool HasQualifiedName(const xmlChar* localName, const xmlNs* ns, const char* name) {
  return HasWrittenName(localName, ns ? ns->prefix : nullptr, name);
}

XmlNode FirstChildElement(XmlNode node, const char* name) {
  if (!node || !name) return nullptr;
  for (XmlNode child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && HasQualifiedName(child->name, child->ns, name))
      return child;
  }
  return nullptr;
}

XmlNode ChildElementAt(XmlNode node, int position) {
  if (!node || position < 0) return nullptr;
  int index = 0;
  for (XmlNode child = node->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (index++ == position) return child;
  }
  return nullptr;
}

// The bytes of an address (through CurrentFetcher()) or a regular file; empty when unreadable.
std::string SourceBytes(const std::string& source) {
  if (IsRemoteAddress(source)) {
    FetchResult fetched = CurrentFetcher().Fetch(source);
    return fetched.ok ? std::move(fetched.body) : std::string();
  }
  return source.empty() ? std::string() : ReadLocalFile(source);
}

// MSXML's text: every descendant text, leading and trailing white space trimmed.
std::string TextOf(XmlNode node) {
  if (!node) return {};
  // Nearly every field is one text node: read it in place instead of through a copy.
  const XmlNode only = node->type == XML_ELEMENT_NODE ? node->children : nullptr;
  if (only && only->type == XML_TEXT_NODE && !only->next) {
    return only->content ? Trimmed(Chars(only->content)) : std::string();
  }
  return Trimmed(TakeXmlString(xmlNodeGetContent(node)));
}

}  // namespace

struct XmlDocument::Impl {
  XmlDocPtr doc;
};

XmlDocument::XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;

XmlDocument XmlDocument::LoadDocument(const std::string& source) {
  try {
    return Parse(SourceBytes(source));
  } catch (...) {
    return {};  // out of memory reads as a load that failed
  }
}

XmlDocument XmlDocument::Parse(const std::string& bytes) {
  XmlDocument document;
  try {
    XmlDocPtr doc = ParseBytes(bytes);
    if (doc) document.impl_ = std::make_unique<Impl>(Impl{std::move(doc)});
  } catch (...) {
    document.impl_.reset();
  }
  return document;
}

std::optional<XmlDocument> XmlDocument::NewDataDocument() {
  QuietLibxml();
  XmlDocPtr doc(xmlNewDoc(Xml("1.0")));
  if (!doc) return std::nullopt;
  doc->encoding = xmlStrdup(Xml("UTF-8"));
  XmlNode root = xmlNewDocNode(doc.get(), nullptr, Xml("Data"), nullptr);
  if (!root || !doc->encoding) return std::nullopt;
  xmlDocSetRootElement(doc.get(), root);
  // Declared in this order, they are written in this order.
  if (!xmlNewNs(root, Xml(kSchemaInstanceUri), Xml("xsi")) ||
      !xmlNewNs(root, Xml(kSchemaUri), Xml("xsd"))) {
    return std::nullopt;
  }
  XmlDocument document;
  document.impl_ = std::make_unique<Impl>(Impl{std::move(doc)});
  return document;
}

bool XmlDocument::IsEmpty() const {
  return !impl_ || !impl_->doc;
}

XmlNode XmlDocument::Root() const {
  return IsEmpty() ? nullptr : xmlDocGetRootElement(impl_->doc.get());
}

std::vector<XmlNode> XmlDocument::SelectNodes(const char* path) const {
  std::vector<XmlNode> nodes;
  if (IsEmpty() || !path) return nodes;
  QuietLibxml();
  XPathContextPtr context(xmlXPathNewContext(impl_->doc.get()));
  if (!context) return nodes;
  // Relative paths such as "Data/Series" start at the document node.
  context->node = reinterpret_cast<xmlNodePtr>(impl_->doc.get());
  XPathObjectPtr result(xmlXPathEvalExpression(Xml(path), context.get()));
  if (!result || result->type != XPATH_NODESET || !result->nodesetval) return nodes;
  const xmlNodeSetPtr set = result->nodesetval;
  nodes.reserve(static_cast<std::size_t>(set->nodeNr));
  for (int i = 0; i < set->nodeNr; ++i) nodes.push_back(set->nodeTab[i]);
  return nodes;
}

XmlNode XmlDocument::SelectSingleNode(const char* path) const {
  const std::vector<XmlNode> nodes = SelectNodes(path);
  return nodes.empty() ? nullptr : nodes.front();
}

XmlNode XmlDocument::AppendElement(XmlNode parent, const char* name) {
  if (IsEmpty() || !parent || !name) return nullptr;
  XmlNode element = xmlNewDocNode(impl_->doc.get(), nullptr, Xml(name), nullptr);
  if (!element) return nullptr;
  if (!xmlAddChild(parent, element)) {
    xmlFreeNode(element);
    return nullptr;
  }
  return element;
}

void XmlDocument::AppendText(XmlNode element, const std::string& text) {
  if (IsEmpty() || !element || text.empty()) return;
  // A text node holds raw characters; the writer escapes them, so no entity is ever parsed here.
  XmlNode node =
      xmlNewDocTextLen(impl_->doc.get(), Xml(text.c_str()), static_cast<int>(text.size()));
  if (node && !xmlAddChild(element, node)) xmlFreeNode(node);
}

void XmlDocument::AppendLineBreak(XmlNode element) {
  if (IsEmpty() || !element) return;
  XmlNode node = xmlNewDocText(impl_->doc.get(), Xml("\r\n"));
  if (!node) return;
  // Written as raw CR LF: an ordinary text node would store the CR as "&#13;".
  node->name = xmlStringTextNoenc;
  if (!xmlAddChild(element, node)) xmlFreeNode(node);
}

void XmlDocument::AppendFieldElements(XmlNode parent, const FieldMap& fields) {
  for (const auto& [name, field] : fields) {
    XmlNode element = AppendElement(parent, name);
    if (element && field) AppendText(element, *field);
    AppendLineBreak(parent);
  }
}

std::string XmlDocument::Serialize() const {
  if (IsEmpty()) return {};
  xmlChar* buffer = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(impl_->doc.get(), &buffer, &size, "UTF-8");
  const XmlCharsPtr owned(buffer);
  if (!owned || size <= 0) return {};
  return std::string(Chars(owned.get()), static_cast<std::size_t>(size));
}

bool XmlDocument::Save(const std::string& path) const {
  if (IsEmpty() || path.empty()) return false;
  try {
    const std::string bytes = Serialize();
    return !bytes.empty() && ReplaceFileAtomically(path, bytes);
  } catch (...) {
    return false;
  }
}

// The helpers never fail: whatever goes wrong, out of memory included, reads as empty text.
std::string ReadChildText(XmlNode node, const char* name) {
  try {
    return TextOf(FirstChildElement(node, name));
  } catch (...) {
    return {};
  }
}

std::vector<std::string> StreamChildTexts(const std::string& source, const char* rootName,
                                          const char* elementName, const char* childName) {
  if (!rootName || !elementName || !childName) return {};
  try {
    const std::string bytes = SourceBytes(source);
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
  } catch (...) {
    return {};  // out of memory reads as a load that failed
  }
}

void ReadChildTexts(XmlNode node, std::span<const ChildTextField> fields) {
  uint64_t unread = 0;
  for (std::size_t i = 0; i < fields.size() && i < 64; ++i) {
    fields[i].text->clear();
    unread |= uint64_t{1} << i;
  }
  if (!node) return;
  for (XmlNode child = node->children; child && unread; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    for (std::size_t i = 0; i < fields.size() && i < 64; ++i) {
      if (!(unread & (uint64_t{1} << i)) ||
          !HasQualifiedName(child->name, child->ns, fields[i].name)) {
        continue;
      }
      unread &= ~(uint64_t{1} << i);
      try {
        *fields[i].text = TextOf(child);
      } catch (...) {
        fields[i].text->clear();
      }
      break;
    }
  }
}

std::string ReadChildTextAt(XmlNode node, int position, const char* localName) {
  try {
    XmlNode child = ChildElementAt(node, position);
    if (!child || !localName || std::strcmp(Chars(child->name), localName) != 0) return {};
    return TextOf(child);
  } catch (...) {
    return {};
  }
}

std::string ReadChildAttribute(XmlNode node, const char* elementName, const char* attributeName) {
  try {
    XmlNode child = FirstChildElement(node, elementName);
    if (!child || !attributeName) return {};
    for (xmlAttrPtr attribute = child->properties; attribute; attribute = attribute->next) {
      if (HasQualifiedName(attribute->name, attribute->ns, attributeName)) {
        return TakeXmlString(xmlNodeListGetString(child->doc, attribute->children, 1));
      }
    }
    return {};
  } catch (...) {
    return {};
  }
}

}  // namespace quorvel
