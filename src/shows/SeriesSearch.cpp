#include "shows/SeriesSearch.h"

#include <glib.h>

#include <memory>

#include "core/Places.h"
#include "core/XmlDocument.h"
#include "shows/SeriesRecord.h"

namespace quorvel {
namespace {

// Everything but the unreserved characters is escaped, so "&", "=", "#", "+" and spaces stay
// inside the one query value and non-ASCII text travels as UTF-8 bytes.
std::string EscapeQueryValue(const std::string& text) {
  std::unique_ptr<char, decltype(&g_free)> escaped(
      g_uri_escape_string(text.c_str(), nullptr, FALSE), &g_free);
  return escaped ? std::string(escaped.get()) : std::string();
}

}  // namespace

std::string GetSearchUrl(const std::string& searchText) {
  return "http://" + TvdbHost() + "/api/GetSeries.php?seriesname=" + EscapeQueryValue(searchText);
}

bool ParseSearchResults(const std::string& url, std::vector<SearchResult>& results) {
  const XmlDocument document = XmlDocument::LoadDocument(url);
  const std::vector<XmlNode> nodes = document.SelectNodes("Data/Series");
  if (nodes.empty()) return false;
  for (XmlNode node : nodes) results.emplace_back().ReadFrom(node);
  return true;
}

}  // namespace quorvel
