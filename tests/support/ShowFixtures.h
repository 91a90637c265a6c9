#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Fetcher.h"
#include "shows/Records.h"
#include "support/RecordingPage.h"

namespace quorvel::test {

// Readable failure messages for recorded page calls.
void PrintTo(const PageCall& call, std::ostream* out);

// One Episode element of a generated series document.
struct EpisodeFixture {
  std::string id{};
  std::string FirstAired{};
  std::string SeasonNumber = "1";
  std::string EpisodeNumber = "1";
  std::string EpisodeName = "Pilot";
  std::string Combined_season = "1";
  std::string filename{};
  std::string Overview{};
  std::string IMDB_ID{};
};

// A series document in the element order of TheTVDB's answers.
struct SeriesFixture {
  std::string id{};
  std::string SeriesName{};
  std::string Network{};
  std::string Genre{};
  std::string Status = "Continuing";
  std::string Airs_Time{};
  std::string Airs_DayOfWeek{};
  std::string Actors{};
  std::string Overview{};
  std::string IMDB_ID{};
  std::string banner{};
  std::string fanart{};
  std::string poster{};
  std::vector<EpisodeFixture> episodes{};
};

// XML text with the five special characters written as references.
std::string XmlEscape(const std::string& text);
std::string SeriesDocument(const SeriesFixture& series);
// A search answer: Data with one Series per fixture (id, seriesid, SeriesName, banner, ...).
std::string SearchAnswer(const std::vector<SeriesFixture>& hits);
// A showRSS-shaped feed with one item per (title, link).
std::string FeedDocument(const std::vector<std::pair<std::string, std::string>>& items);
// favorites.xml as the program writes it.
std::string FavoritesDocument(const std::vector<FavoriteShow>& favorites);

// Writes folder + id + ".xml" and returns the favourites entry that points at it.
FavoriteShow StoreSeries(const std::string& folder, const SeriesFixture& series,
                         const std::string& dateAdded = "2000-01-01");

// The local calendar date `days` days from the test clock's today, "%Y-%m-%d".
std::string DaysFromToday(int days);

// Freezes Now() at the moment the test started, so "today" cannot change under a test.
class FrozenClock {
 public:
  FrozenClock();
  explicit FrozenClock(int64_t at);
  int64_t now() const { return now_; }

 private:
  int64_t now_;
  ScopedClock clock_;
};

// Answers from a table of URL → body; everything else fails as a dead server would. Records every
// request.
class FakeFetcher : public Fetcher {
 public:
  FakeFetcher() : installed_(*this) {}
  FetchResult Fetch(const std::string& url) override;

  std::map<std::string, std::string> bodies;
  std::vector<std::string> requests;

 private:
  ScopedFetcher installed_;
};

}  // namespace quorvel::test
