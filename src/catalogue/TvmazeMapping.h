#pragma once

// TVmaze's JSON answers turned into the records of TheTVDB's legacy XML. Pure functions: no I/O,
// no clock; the only outside input is the process's time zone for episode dates.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shows/Records.h"
#include "shows/SeriesRecord.h"

namespace quorvel::catalogue {

// Hits of "/search/shows?q=" (an array of {score, show}), in TVmaze's order. Empty when the bytes
// are not such an array; entries without a show id are skipped.
std::optional<std::vector<SearchResult>> MapSearchResults(const std::string& json);

// A show with its episodes under "_embedded" (as ShowWithEpisodes or "?embed=episodes" give it).
// Specials (no number, or a special's type) become season 0, first in the record, numbered in air
// order; the other episodes follow unchanged, in TVmaze's order. Empty when the bytes are not a
// show object with an id.
std::optional<SeriesRecord> MapShow(const std::string& json);

// The show of "/shows/ID" with the list of "/shows/ID/episodes?specials=1" embedded in it: the
// one text the catalogue keeps per show. Empty when either part is not what it should be.
std::optional<std::string> ShowWithEpisodes(const std::string& showJson,
                                            const std::string& episodesJson);

// Show id to the time (Unix seconds) TVmaze last changed it or anything of it, sorted by id: a
// month's map can hold tens of thousands of shows and is kept for a day.
class ShowUpdateStamps {
 public:
  void Add(int64_t id, int64_t stamp) { entries_.emplace_back(id, stamp); }
  void Seal();  // sorts; call once after the last Add
  std::optional<int64_t> Find(const std::string& id) const;
  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<std::pair<int64_t, int64_t>> entries_;
};

// The map of "/updates/shows?since=…". Entries that are not an id with a whole time are skipped;
// empty when the bytes are not an object.
std::optional<ShowUpdateStamps> MapShowUpdates(const std::string& json);

// Summary HTML as plain text: tags dropped, entities decoded, white space collapsed, one line per
// paragraph or line break.
std::string HtmlToPlainText(const std::string& html);

// The relative artwork path for an image URL TVmaze gives ("uploads/images/…/1.jpg"): its path
// without the leading "/", or empty when the URL is not http(s) or its path is not a safe
// relative path.
std::string ArtworkPathOf(const std::string& imageUrl);

// True for a relative path of letters, digits and "._-/" without empty, "." or ".." segments:
// the only paths the catalogue forwards to the image host.
bool IsSafeArtworkPath(const std::string& path);

// The date on which an episode airs in the process's time zone, "%Y-%m-%d": from the airstamp
// (ISO 8601 with an offset) when it parses, else the airdate as given.
std::string LocalAirDate(const std::string& airstamp, const std::string& airdate);

// TVmaze's schedule days as one text: a single day, "Daily" for all seven, or the days joined
// with ", ".
std::string DaysOfWeekText(const std::vector<std::string>& days);

// JSON text whose arrays and objects nest no deeper than maxDepth (a guard before a recursive
// parser sees hostile bytes).
bool NestingWithin(const std::string& json, int maxDepth);

}  // namespace quorvel::catalogue
