#pragma once

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/FieldMap.h"
#include "core/XmlParser.h"   // kMaxDocumentBytes
#include "core/XmlScanner.h"  // the streamed reader beside the document

namespace quorvel {

// A node inside an XmlDocument; valid while the document lives. A null node reads as empty.
using XmlNode = xmlNode*;

// The only way the program reads and writes XML. Loading never throws and never prints: a source
// that cannot be fetched, parsed, or that carries a DOCTYPE leaves an empty document.
class XmlDocument {
 public:
  XmlDocument();  // empty document
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  ~XmlDocument();

  // source: an "http://" (or "https://") address, fetched through CurrentFetcher(), or the path of
  // a regular file.
  static XmlDocument LoadDocument(const std::string& source);
  // Parses bytes already in memory with the same rules as LoadDocument.
  static XmlDocument Parse(const std::string& bytes);
  // The start of every stored file: the XML declaration and a root Data element carrying
  // xmlns:xsi then xmlns:xsd.
  static std::optional<XmlDocument> NewDataDocument();

  bool IsEmpty() const;
  XmlNode Root() const;

  // XPath 1.0 relative to the document node ("Data/Series", "*/*/item"). Nothing found →
  // null/empty.
  XmlNode SelectSingleNode(const char* path) const;
  std::vector<XmlNode> SelectNodes(const char* path) const;

  // Writers (for documents made by NewDataDocument). An element without text is written "<x/>".
  XmlNode AppendElement(XmlNode parent, const char* name);
  // Appends text as characters (markup in it is escaped when written); empty text appends nothing.
  void AppendText(XmlNode element, const std::string& text);
  void AppendLineBreak(XmlNode element);  // CR LF
  // Per entry in map order: the element with the field's text, then a line break.
  void AppendFieldElements(XmlNode parent, const FieldMap& fields);

  // Replaces the file atomically and durably (temporary file in the same folder, fsync, rename,
  // fsync of the folder). On failure the old file is untouched and false is returned.
  bool Save(const std::string& path) const;
  // The bytes Save would write.
  std::string Serialize() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The text of the first child element whose name as written (prefix included) is name: all
// descendant text with leading and trailing white space trimmed, or "".
std::string ReadChildText(XmlNode node, const char* name);
// ReadChildText for several names in one walk over the children (names differ; at most 64).
struct ChildTextField {
  const char* name;
  std::string* text;
};
void ReadChildTexts(XmlNode node, std::span<const ChildTextField> fields);
// The text of the child element at position (from 0) when its local name is localName, or "".
std::string ReadChildTextAt(XmlNode node, int position, const char* localName);
// The value of the attribute of the first child element of that name, or "".
std::string ReadChildAttribute(XmlNode node, const char* elementName, const char* attributeName);

}  // namespace quorvel
