#include "catalogue/TvmazeMapping.h"

#include "core/Handles.h"

#include <glib.h>
#include <json-glib/json-glib.h>
#include <libxml/HTMLparser.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/AirDate.h"

namespace quorvel::catalogue {
namespace {

constexpr int kMaxJsonDepth = 64;

using JsonParserPtr = GObjectPtr<JsonParser>;
using HtmlDocPtr = XmlDocPtr;
using DateTimePtr = GDateTimePtr;

// Parses JSON; the parser owns the tree the returned root points into. Only a mutable tree may be
// changed afterwards.
JsonNode* ParseJson(const std::string& json, JsonParserPtr& parser, bool mutableTree = false) {
  if (json.empty() || !NestingWithin(json, kMaxJsonDepth)) return nullptr;
  parser.reset(mutableTree ? json_parser_new() : json_parser_new_immutable());
  GError* error = nullptr;
  if (!json_parser_load_from_data(parser.get(), json.data(), static_cast<gssize>(json.size()),
                                  &error)) {
    g_clear_error(&error);
    return nullptr;
  }
  return json_parser_get_root(parser.get());
}

JsonNode* Member(JsonObject* object, const char* name) {
  if (!object || !json_object_has_member(object, name)) return nullptr;
  return json_object_get_member(object, name);
}

JsonObject* ObjectMember(JsonObject* object, const char* name) {
  JsonNode* node = Member(object, name);
  return node && JSON_NODE_HOLDS_OBJECT(node) ? json_node_get_object(node) : nullptr;
}

JsonArray* ArrayMember(JsonObject* object, const char* name) {
  JsonNode* node = Member(object, name);
  return node && JSON_NODE_HOLDS_ARRAY(node) ? json_node_get_array(node) : nullptr;
}

// A string as it is, a whole number as decimal text; anything else (null, missing, fractions,
// objects) reads as empty.
std::string ValueText(JsonNode* node) {
  if (!node || !JSON_NODE_HOLDS_VALUE(node)) return {};
  const GType type = json_node_get_value_type(node);
  if (type == G_TYPE_STRING) return json_node_get_string(node);
  if (type == G_TYPE_INT64) return std::to_string(json_node_get_int(node));
  if (type == G_TYPE_DOUBLE) {
    const double value = json_node_get_double(node);
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
      return std::to_string(static_cast<long long>(value));
  }
  return {};
}

std::string TextMember(JsonObject* object, const char* name) {
  return ValueText(Member(object, name));
}

std::vector<std::string> TextArrayMember(JsonObject* object, const char* name) {
  std::vector<std::string> texts;
  JsonArray* array = ArrayMember(object, name);
  if (!array) return texts;
  for (guint i = 0; i < json_array_get_length(array); ++i) {
    JsonNode* element = json_array_get_element(array, i);
    if (!JSON_NODE_HOLDS_VALUE(element) || json_node_get_value_type(element) != G_TYPE_STRING)
      continue;
    std::string text = json_node_get_string(element);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  return texts;
}

// TVmaze shows one picture per show and episode, in two sizes; the medium one suits every place
// the page shows artwork.
std::string ArtworkPathOfImage(JsonObject* owner) {
  JsonObject* image = ObjectMember(owner, "image");
  std::string path = ArtworkPathOf(TextMember(image, "medium"));
  return path.empty() ? ArtworkPathOf(TextMember(image, "original")) : path;
}

std::string NetworkName(JsonObject* show) {
  std::string name = TextMember(ObjectMember(show, "network"), "name");
  return name.empty() ? TextMember(ObjectMember(show, "webChannel"), "name") : name;
}

std::string GenreText(JsonObject* show) {
  const std::vector<std::string> genres = TextArrayMember(show, "genres");
  if (genres.empty()) return {};
  std::string text = "|";
  for (const std::string& genre : genres) text += genre + "|";
  return text;
}

bool IsId(const std::string& text) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

SeriesInfo MapSeriesFields(JsonObject* show) {
  SeriesInfo info;
  info.id = TextMember(show, "id");
  info.SeriesName = TextMember(show, "name");
  info.Overview = HtmlToPlainText(TextMember(show, "summary"));
  info.Network = NetworkName(show);
  info.Genre = GenreText(show);
  info.Status = TextMember(show, "status");
  info.IMDB_ID = TextMember(ObjectMember(show, "externals"), "imdb");
  JsonObject* schedule = ObjectMember(show, "schedule");
  info.Airs_Time = TextMember(schedule, "time");
  info.Airs_DayOfWeek = DaysOfWeekText(TextArrayMember(schedule, "days"));
  info.poster = ArtworkPathOfImage(show);
  info.banner = info.poster;
  info.lastupdated = TextMember(show, "updated");
  return info;
}

EpisodeInfo MapEpisode(JsonObject* episode) {
  EpisodeInfo info;
  info.id = TextMember(episode, "id");
  info.SeasonNumber = TextMember(episode, "season");
  info.Combined_season = info.SeasonNumber;
  info.EpisodeNumber = TextMember(episode, "number");
  info.Combined_episodenumber = info.EpisodeNumber;
  info.EpisodeName = TextMember(episode, "name");
  info.Overview = HtmlToPlainText(TextMember(episode, "summary"));
  info.filename = ArtworkPathOfImage(episode);
  info.FirstAired = LocalAirDate(TextMember(episode, "airstamp"), TextMember(episode, "airdate"));
  return info;
}

// TVmaze lists specials with the season they belong to but without a number; the newer type field
// says so too.
bool IsSpecial(JsonObject* episode, const EpisodeInfo& info) {
  const std::string type = TextMember(episode, "type");
  return info.EpisodeNumber.empty() || type == "significant_special" ||
         type == "insignificant_special";
}

// When an episode airs, for ordering: the airstamp's instant, else midnight UTC of the airdate.
std::optional<int64_t> AirInstant(JsonObject* episode) {
  const std::string airstamp = TextMember(episode, "airstamp");
  DateTimePtr stamp(airstamp.empty() ? nullptr
                                     : g_date_time_new_from_iso8601(airstamp.c_str(), nullptr));
  if (!stamp) {
    const std::string airdate = TextMember(episode, "airdate");
    if (airdate.size() == 10)
      stamp.reset(g_date_time_new_from_iso8601((airdate + "T00:00:00Z").c_str(), nullptr));
  }
  if (!stamp) return std::nullopt;
  return g_date_time_to_unix(stamp.get());
}

struct Special {
  EpisodeInfo info;
  std::optional<int64_t> airs;
};

// Season 0 in air order, undated ones last, ties in TVmaze's order; numbered from 1 as legacy
// records number it.
std::vector<EpisodeInfo> SeasonZero(std::vector<Special> specials) {
  std::stable_sort(specials.begin(), specials.end(), [](const Special& a, const Special& b) {
    if (a.airs.has_value() != b.airs.has_value()) return a.airs.has_value();
    return a.airs && *a.airs < *b.airs;
  });
  std::vector<EpisodeInfo> season;
  for (Special& special : specials) {
    EpisodeInfo& info = special.info;
    info.SeasonNumber = info.Combined_season = "0";
    info.EpisodeNumber = info.Combined_episodenumber = std::to_string(season.size() + 1);
    info.absolute_number.clear();
    season.push_back(std::move(info));
  }
  return season;
}

bool IsBlockElement(const char* name) {
  static const char* const kBlocks[] = {"p",  "div", "br", "li", "ul", "ol", "h1",
                                        "h2", "h3",  "h4", "h5", "h6", "tr", "blockquote"};
  for (const char* block : kBlocks)
    if (g_ascii_strcasecmp(name, block) == 0) return true;
  return false;
}

// Collects text with '\n' at block boundaries; the text's own white space stays for the final
// collapse.
void CollectText(xmlNode* node, std::string& out) {
  for (; node; node = node->next) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      // Line breaks in the source are only white space; breaks come from the elements.
      for (const xmlChar* c = node->content; c && *c; ++c)
        out += (*c == '\n' || *c == '\r') ? ' ' : static_cast<char>(*c);
      continue;
    }
    if (node->type != XML_ELEMENT_NODE) continue;
    const char* name = reinterpret_cast<const char*>(node->name);
    if (g_ascii_strcasecmp(name, "script") == 0 || g_ascii_strcasecmp(name, "style") == 0) continue;
    const bool block = IsBlockElement(name);
    if (block) out += '\n';
    CollectText(node->children, out);
    if (block) out += '\n';
  }
}

// Runs of blanks become one space, each line is trimmed, and empty lines go.
std::string CollapseWhiteSpace(const std::string& text) {
  std::string out;
  std::string line;
  bool pendingSpace = false;
  auto endLine = [&] {
    if (line.empty()) return;
    if (!out.empty()) out += '\n';
    out += line;
    line.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      endLine();
      pendingSpace = false;
      continue;
    }
    // U+00A0 (from &nbsp;) counts as a blank.
    const bool nbsp =
        c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || nbsp) {
      if (nbsp) ++i;
      pendingSpace = !line.empty();
      continue;
    }
    if (pendingSpace) line += ' ';
    pendingSpace = false;
    line += static_cast<char>(c);
  }
  endLine();
  return out;
}

}  // namespace

std::optional<std::vector<SearchResult>> MapSearchResults(const std::string& json) {
  JsonParserPtr parser;
  JsonNode* root = ParseJson(json, parser);
  if (!root || !JSON_NODE_HOLDS_ARRAY(root)) return std::nullopt;
  JsonArray* hits = json_node_get_array(root);
  std::vector<SearchResult> results;
  for (guint i = 0; i < json_array_get_length(hits); ++i) {
    JsonNode* hit = json_array_get_element(hits, i);
    if (!JSON_NODE_HOLDS_OBJECT(hit)) continue;
    JsonObject* show = ObjectMember(json_node_get_object(hit), "show");
    const SeriesInfo info = MapSeriesFields(show);
    if (!IsId(info.id)) continue;
    SearchResult result;
    result.id = info.id;
    result.seriesid = info.id;
    result.SeriesName = info.SeriesName;
    result.banner = info.banner;
    result.Overview = info.Overview;
    result.FirstAired = TextMember(show, "premiered");
    result.Network = info.Network;
    result.IMDB_ID = info.IMDB_ID;
    results.push_back(std::move(result));
  }
  return results;
}

std::optional<SeriesRecord> MapShow(const std::string& json) {
  JsonParserPtr parser;
  JsonNode* root = ParseJson(json, parser);
  if (!root || !JSON_NODE_HOLDS_OBJECT(root)) return std::nullopt;
  JsonObject* show = json_node_get_object(root);
  SeriesRecord record;
  static_cast<SeriesInfo&>(record) = MapSeriesFields(show);
  if (!IsId(record.id)) return std::nullopt;
  tzset();  // the zone may have changed since the last show (tests, a long-running session)
  JsonArray* episodes = ArrayMember(ObjectMember(show, "_embedded"), "episodes");
  std::vector<Special> specials;
  std::vector<EpisodeInfo> regular;
  for (guint i = 0; episodes && i < json_array_get_length(episodes); ++i) {
    JsonNode* node = json_array_get_element(episodes, i);
    if (!JSON_NODE_HOLDS_OBJECT(node)) continue;
    JsonObject* episode = json_node_get_object(node);
    EpisodeInfo info = MapEpisode(episode);
    if (!IsId(info.id)) continue;
    if (IsSpecial(episode, info))
      specials.push_back({std::move(info), AirInstant(episode)});
    else
      regular.push_back(std::move(info));
  }
  record.episodes = SeasonZero(std::move(specials));
  for (EpisodeInfo& info : regular) record.episodes.push_back(std::move(info));
  return record;
}

std::optional<std::string> ShowWithEpisodes(const std::string& showJson,
                                            const std::string& episodesJson) {
  JsonParserPtr showParser, episodesParser;
  JsonNode* root = ParseJson(showJson, showParser, true);
  JsonNode* episodes = ParseJson(episodesJson, episodesParser);
  if (!root || !JSON_NODE_HOLDS_OBJECT(root) || !episodes || !JSON_NODE_HOLDS_ARRAY(episodes))
    return std::nullopt;
  JsonObject* show = json_node_get_object(root);
  if (!IsId(TextMember(show, "id"))) return std::nullopt;
  JsonObject* embedded = json_object_new();
  json_object_set_member(embedded, "episodes", json_node_copy(episodes));
  json_object_set_object_member(show, "_embedded", embedded);  // replaces any earlier one
  GObjectPtr<JsonGenerator> generator(json_generator_new());
  json_generator_set_root(generator.get(), root);
  gsize length = 0;
  GCharPtr text(json_generator_to_data(generator.get(), &length));
  if (!text) return std::nullopt;
  return std::string(text.get(), length);
}

std::optional<ShowUpdateStamps> MapShowUpdates(const std::string& json) {
  JsonParserPtr parser;
  JsonNode* root = ParseJson(json, parser);
  if (!root || !JSON_NODE_HOLDS_OBJECT(root)) return std::nullopt;
  JsonObject* map = json_node_get_object(root);
  ShowUpdateStamps stamps;
  JsonObjectIter iter;
  const gchar* id = nullptr;
  JsonNode* value = nullptr;
  json_object_iter_init(&iter, map);
  while (json_object_iter_next(&iter, &id, &value)) {
    const std::string stamp = ValueText(value);
    if (!IsId(id) || stamp.empty() || stamp[0] == '-') continue;
    stamps.Add(g_ascii_strtoll(id, nullptr, 10), g_ascii_strtoll(stamp.c_str(), nullptr, 10));
  }
  stamps.Seal();
  return stamps;
}

void ShowUpdateStamps::Seal() {
  std::sort(entries_.begin(), entries_.end());
  entries_.shrink_to_fit();
}

std::optional<int64_t> ShowUpdateStamps::Find(const std::string& id) const {
  if (!IsId(id)) return std::nullopt;
  const int64_t key = g_ascii_strtoll(id.c_str(), nullptr, 10);
  auto found = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(key, INT64_MIN));
  if (found == entries_.end() || found->first != key) return std::nullopt;
  return found->second;
}

std::string HtmlToPlainText(const std::string& html) {
  if (html.find_first_not_of(" \t\r\n") == std::string::npos) return {};
  const int options =
      HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
  HtmlDocPtr doc(
      htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8", options));
  if (!doc) return {};
  std::string text;
  CollectText(doc->children, text);
  return CollapseWhiteSpace(text);
}

bool IsSafeArtworkPath(const std::string& path) {
  if (path.empty() || path.size() > 512) return false;
  std::size_t segmentStart = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      const std::string segment = path.substr(segmentStart, i - segmentStart);
      if (segment.empty() || segment == "." || segment == "..") return false;
      segmentStart = i + 1;
      continue;
    }
    const char c = path[i];
    const bool allowed = g_ascii_isalnum(c) || c == '.' || c == '_' || c == '-';
    if (!allowed) return false;
  }
  return true;
}

std::string ArtworkPathOf(const std::string& imageUrl) {
  const char* rest = nullptr;
  if (g_str_has_prefix(imageUrl.c_str(), "https://"))
    rest = imageUrl.c_str() + 8;
  else if (g_str_has_prefix(imageUrl.c_str(), "http://"))
    rest = imageUrl.c_str() + 7;
  if (!rest) return {};
  const char* slash = std::strchr(rest, '/');
  if (!slash) return {};
  std::string path(slash + 1, std::strcspn(slash + 1, "?#"));
  return IsSafeArtworkPath(path) ? path : std::string();
}

std::string LocalAirDate(const std::string& airstamp, const std::string& airdate) {
  if (!airstamp.empty()) {
    DateTimePtr stamp(g_date_time_new_from_iso8601(airstamp.c_str(), nullptr));
    if (stamp) {
      std::string date = FormatLocalDate(g_date_time_to_unix(stamp.get()));
      if (!date.empty()) return date;
    }
  }
  return airdate;
}

std::string DaysOfWeekText(const std::vector<std::string>& days) {
  if (days.size() == 7) return "Daily";
  std::string text;
  for (const std::string& day : days) text += (text.empty() ? "" : ", ") + day;
  return text;
}

bool NestingWithin(const std::string& json, int maxDepth) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"')
      inString = true;
    else if (c == '[' || c == '{') {
      if (++depth > maxDepth) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

}  // namespace quorvel::catalogue
