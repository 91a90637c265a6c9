#include "core/XmlDocument.h"

#include <libxml/parserInternals.h>
#include <libxml/xpath.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "core/AtomicFile.h"
#include "core/Handles.h"
#include "core/NoThrow.h"
#include "core/XmlParser.h"
#include "core/XmlText.h"

namespace quorvel {
namespace {

constexpr const char* kSchemaInstanceUri = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char* kSchemaUri = "http://www.w3.org/2001/XMLSchema";

std::string TakeXmlString(xmlChar* owned) {
  const XmlCharsPtr text(owned);
  return text ? std::string(Chars(text.get())) : std::string();
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
  // Out of memory reads as a load that failed.
  return NoThrow(XmlDocument(), [&] { return Parse(ReadDocumentBytes(source)); });
}

XmlDocument XmlDocument::Parse(const std::string& bytes) {
  return NoThrow(XmlDocument(), [&] {
    XmlDocument document;
    XmlDocPtr doc = ParseBytes(bytes);
    if (doc) document.impl_ = std::make_unique<Impl>(Impl{std::move(doc)});
    return document;
  });
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
  return NoThrow(false, [&] {
    const std::string bytes = Serialize();
    return !bytes.empty() && ReplaceFileAtomically(path, bytes);
  });
}

// The helpers never fail: whatever goes wrong, out of memory included, reads as empty text.
std::string ReadChildText(XmlNode node, const char* name) {
  return NoThrow(std::string(), [&] { return TextOf(FirstChildElement(node, name)); });
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
      *fields[i].text = NoThrow(std::string(), [&] { return TextOf(child); });
      break;
    }
  }
}

std::string ReadChildTextAt(XmlNode node, int position, const char* localName) {
  return NoThrow(std::string(), [&] {
    XmlNode child = ChildElementAt(node, position);
    if (!child || !localName || std::strcmp(Chars(child->name), localName) != 0) {
      return std::string();
    }
    return TextOf(child);
  });
}

std::string ReadChildAttribute(XmlNode node, const char* elementName, const char* attributeName) {
  return NoThrow(std::string(), [&] {
    XmlNode child = FirstChildElement(node, elementName);
    if (!child || !attributeName) return std::string();
    for (xmlAttrPtr attribute = child->properties; attribute; attribute = attribute->next) {
      if (HasQualifiedName(attribute->name, attribute->ns, attributeName)) {
        return TakeXmlString(xmlNodeListGetString(child->doc, attribute->children, 1));
      }
    }
    return std::string();
  });
}

}  // namespace quorvel
