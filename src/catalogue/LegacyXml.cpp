#include "catalogue/LegacyXml.h"

#include <glib.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace quorvel::catalogue {
namespace {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

const xmlChar* Xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

class AnswerBuilder {
 public:
  AnswerBuilder() : doc_(xmlNewDoc(Xml("1.0"))) {
    root_ = xmlNewDocNode(doc_.get(), nullptr, Xml("Data"), nullptr);
    xmlDocSetRootElement(doc_.get(), root_);
  }

  xmlNode* AddChild(xmlNode* parent, const char* name) {
    return xmlNewChild(parent ? parent : root_, nullptr, Xml(name), nullptr);
  }

  // xmlNewTextChild escapes the text.
  void AddField(xmlNode* parent, const char* name, const std::string& value) {
    xmlNewTextChild(parent, nullptr, Xml(name), Xml(XmlSafeText(value).c_str()));
  }

  void AddFields(xmlNode* parent, const FieldMap& fields) {
    for (const auto& [name, value] : fields) AddField(parent, name, *value);
  }

  std::string Serialize() const {
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc_.get(), &bytes, &size, "UTF-8", 1);
    std::string text(reinterpret_cast<const char*>(bytes), bytes ? size : 0);
    xmlFree(bytes);
    return text;
  }

 private:
  XmlDocPtr doc_;
  xmlNode* root_ = nullptr;
};

bool IsXmlChar(gunichar c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return c != 0xFFFE && c != 0xFFFF;
}

}  // namespace

std::string XmlSafeText(const std::string& text) {
  std::string withoutNul = text;
  withoutNul.erase(std::remove(withoutNul.begin(), withoutNul.end(), '\0'), withoutNul.end());
  gchar* valid = g_utf8_make_valid(withoutNul.data(), static_cast<gssize>(withoutNul.size()));
  std::string out;
  out.reserve(text.size());
  for (const gchar* p = valid; *p; p = g_utf8_next_char(p)) {
    if (IsXmlChar(g_utf8_get_char(p))) out.append(p, g_utf8_next_char(p) - p);
  }
  g_free(valid);
  return out;
}

std::string SearchAnswerXml(const std::vector<SearchResult>& results) {
  AnswerBuilder answer;
  for (const SearchResult& result : results) {
    xmlNode* series = answer.AddChild(nullptr, "Series");
    answer.AddField(series, "seriesid", result.seriesid);
    answer.AddField(series, "language", "en");
    answer.AddField(series, "SeriesName", result.SeriesName);
    answer.AddField(series, "banner", result.banner);
    answer.AddField(series, "Overview", result.Overview);
    answer.AddField(series, "FirstAired", result.FirstAired);
    answer.AddField(series, "Network", result.Network);
    answer.AddField(series, "IMDB_ID", result.IMDB_ID);
    answer.AddField(series, "id", result.id);
  }
  return answer.Serialize();
}

std::string SeriesDocumentXml(const SeriesRecord& record) {
  AnswerBuilder answer;
  answer.AddFields(answer.AddChild(nullptr, "Series"), record.fieldMap());
  for (const EpisodeInfo& episode : record.episodes)
    answer.AddFields(answer.AddChild(nullptr, "Episode"), episode.fieldMap());
  return answer.Serialize();
}

std::string EmptyAnswerXml() {
  return AnswerBuilder().Serialize();
}

}  // namespace quorvel::catalogue
