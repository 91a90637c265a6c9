#include "support/LegacyAnswer.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

namespace quorvel::test {
namespace {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::map<std::string, std::string> Fields(xmlNode* element) {
  std::map<std::string, std::string> fields;
  for (xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    xmlChar* content = xmlNodeGetContent(child);
    fields[reinterpret_cast<const char*>(child->name)] =
        content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
  }
  return fields;
}

}  // namespace

LegacyAnswer ReadLegacyAnswer(const std::string& xml) {
  LegacyAnswer answer;
  std::unique_ptr<xmlDoc, XmlDocFree> doc(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return answer;
  answer.wellFormed = true;
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root) return answer;
  answer.rootName = reinterpret_cast<const char*>(root->name);
  for (xmlNode* child = root->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (xmlStrEqual(child->name, BAD_CAST "Series")) answer.series.push_back(Fields(child));
    if (xmlStrEqual(child->name, BAD_CAST "Episode")) answer.episodes.push_back(Fields(child));
  }
  return answer;
}

}  // namespace quorvel::test
