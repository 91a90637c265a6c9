#include "shows/XmlDocument.h"

// Placeholder until the libxml2 layer lands: every load is empty, every write fails.
namespace quorvel {

struct XmlDocument::Impl {};

XmlDocument::XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;
XmlDocument XmlDocument::LoadDocument(const std::string&) {
  return {};
}
XmlDocument XmlDocument::Parse(const std::string&) {
  return {};
}
std::optional<XmlDocument> XmlDocument::NewDataDocument() {
  return std::nullopt;
}
bool XmlDocument::IsEmpty() const {
  return true;
}
XmlNode XmlDocument::Root() const {
  return nullptr;
}
XmlNode XmlDocument::SelectSingleNode(const char*) const {
  return nullptr;
}
std::vector<XmlNode> XmlDocument::SelectNodes(const char*) const {
  return {};
}
XmlNode XmlDocument::AppendElement(XmlNode, const char*) {
  return nullptr;
}
void XmlDocument::AppendLineBreak(XmlNode) {}
void XmlDocument::AppendFieldElements(XmlNode, const FieldMap&) {}
bool XmlDocument::Save(const std::string&) const {
  return false;
}
std::string XmlDocument::Serialize() const {
  return {};
}
std::string ReadChildText(XmlNode, const char*) {
  return {};
}
std::string ReadChildTextAt(XmlNode, int, const char*) {
  return {};
}
std::string ReadChildAttribute(XmlNode, const char*, const char*) {
  return {};
}

}  // namespace quorvel
