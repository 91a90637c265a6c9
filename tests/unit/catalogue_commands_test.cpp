// The native commands with the embedded catalogue as their TheTVDB host and a scripted TVmaze
// behind it: the whole road from search to the schedules, time zones, outages and 429.

#include <gtest/gtest.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "core/AirDate.h"
#include "core/Places.h"
#include "schedule/DataFiles.h"
#include "schedule/DetailsView.h"
#include "schedule/Favorites.h"
#include "schedule/SearchView.h"
#include "schedule/ShowViews.h"
#include "schedule/StartupRefresh.h"
#include "shows/SeriesRecord.h"
#include "shows/SeriesSearch.h"
#include "support/LegacyAnswer.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"
#include "support/TestServer.h"
#include "support/UpstreamStub.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

const char kSearchClockwork[] = "/tvmaze/search/shows?q=clockwork";
const char kShow700[] = "/tvmaze/shows/700";
const char kEpisodes700[] = "/tvmaze/shows/700/episodes?specials=1";
const char kPoster[] = "uploads/images/medium_portrait/7/700.jpg";

std::string Quoted(const std::string& text) {
  return text.empty() ? "null" : "\"" + text + "\"";
}

// A number of 0 makes a special, as TVmaze lists them: no number, a special's type.
std::string EpisodeJson(int id, int season, int number, const std::string& airdate,
                        const std::string& airstamp) {
  return "{\"id\":" + std::to_string(id) + ",\"name\":\"Episode " + std::to_string(id) +
         "\",\"season\":" + std::to_string(season) +
         ",\"number\":" + (number ? std::to_string(number) : "null") + ",\"type\":\"" +
         (number ? "regular" : "significant_special") + "\",\"airdate\":\"" + airdate +
         "\",\"airtime\":\"\",\"airstamp\":" + Quoted(airstamp) +
         ",\"image\":null,\"summary\":\"<p>About " + std::to_string(id) + " &amp; more.</p>\"}";
}

std::string ShowFields(int id, const std::string& name) {
  return "\"id\":" + std::to_string(id) + ",\"name\":\"" + name +
         "\",\"genres\":[\"Mystery\",\"Drama\"],\"status\":\"Running\",\"premiered\":\"2019-09-"
         "01\","
         "\"schedule\":{\"time\":\"21:00\",\"days\":[\"Sunday\"]},\"network\":null,"
         "\"webChannel\":{\"id\":1,\"name\":\"Netflix\"},\"externals\":{\"imdb\":\"tt0700\"},"
         "\"image\":{\"medium\":\"https://static.tvmaze.com/" +
         std::string(kPoster) +
         "\",\"original\":null},\"summary\":\"<p><b>Clockwork</b> &amp; gears.</p>\"";
}

// Noon UTC on a day relative to today (the sandbox runs in UTC).
std::string NoonStamp(int days) {
  return DaysFromToday(days) + "T12:00:00+00:00";
}

std::string EpisodeList(const std::vector<std::string>& episodes) {
  std::string list;
  for (const std::string& episode : episodes) list += (list.empty() ? "" : ",") + episode;
  return "[" + list + "]";
}

// Each season's specials first, as TVmaze lists them.
std::string ClockworkEpisodes() {
  return EpisodeList({
      EpisodeJson(7090, 1, 0, DaysFromToday(-20), NoonStamp(-20)),
      EpisodeJson(7001, 1, 1, DaysFromToday(-10), NoonStamp(-10)),
      EpisodeJson(7002, 1, 2, DaysFromToday(-1), NoonStamp(-1)),
      EpisodeJson(7003, 1, 3, DaysFromToday(0), NoonStamp(0)),
      EpisodeJson(7091, 2, 0, DaysFromToday(1), NoonStamp(1)),
      EpisodeJson(7004, 2, 1, DaysFromToday(2), ""),
      EpisodeJson(7005, 2, 2, DaysFromToday(9), NoonStamp(9)),
      EpisodeJson(7006, 2, 3, "", ""),
  });
}

class CatalogueCommandsTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    const int64_t midnight = *ParseAirDate(FormatLocalDate(Now()));
    clock_ = std::make_unique<FrozenClock>(midnight + 15 * 3600);
    upstream_ = std::make_unique<UpstreamStub>();
    // The feed and update hosts lead to the stub too, so nothing leaves the machine.
    SetPlaces([&](Places& places) {
      places.feedHost = places.updateHost = "127.0.0.1:" + std::to_string(upstream_->port());
    });
    api_ = std::make_unique<ScopedEnv>("QUORVEL_TVMAZE_URL", upstream_->BaseUrl() + "/tvmaze");
    images_ =
        std::make_unique<ScopedEnv>("QUORVEL_TVMAZE_IMAGES_URL", upstream_->BaseUrl() + "/img");
    upstream_->On(kSearchClockwork,
                  Json("[{\"score\":0.9,\"show\":{" + ShowFields(700, "Clockwork Meadow") + "}}]"));
    upstream_->On(kShow700, Json("{" + ShowFields(700, "Clockwork Meadow") + "}"));
    upstream_->On(kEpisodes700, Json(ClockworkEpisodes()));
    upstream_->On(std::string("/img/") + kPoster,
                  UpstreamStub::Response{200, "\x89PNG fake", "image/png", {}});
    StartCatalogue();
  }

  void TearDown() override {
    catalogue_.reset();
    images_.reset();
    api_.reset();
    upstream_.reset();
    clock_.reset();
    SandboxedTest::TearDown();
  }

  void StartCatalogue() {
    catalogue_.reset();
    catalogue_ = std::make_unique<catalogue::EmbeddedCatalogue>();
    ASSERT_TRUE(catalogue_->running());
    // As the program does once the catalogue runs: its address is TheTVDB host.
    SetPlaces([](Places& places) {
      places.tvdbHost = catalogue::EmbeddedCatalogueHost();
      places.catalogueCredit = true;
    });
    ASSERT_EQ(TvdbHost(), catalogue::EmbeddedCatalogueHost());
  }

  std::vector<PageCall> Take() { return std::exchange(recording.calls, {}); }
  Names TakeNames() {
    Names names = recording.Names();
    recording.calls.clear();
    return names;
  }
  void Search(const std::string& text) {
    std::string pending = text;
    SearchSeries(recording, pending);
  }
  void Details(const std::string& id) {
    std::string pending = id;
    ShowSeriesDetails(recording, pending, details);
  }
  Names Column(const std::vector<PageCall>& calls, const std::string& function, size_t index) {
    Names values;
    for (const auto& call : calls)
      if (call.name == function) values.push_back(call.args.at(index));
    return values;
  }
  void AgeCache(long seconds) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root() + "/cache")) {
      if (!entry.is_regular_file()) continue;
      const std::time_t when = std::time(nullptr) - seconds;
      const struct utimbuf times = {when, when};
      utime(entry.path().c_str(), &times);
    }
  }
  std::string Artwork(const std::string& path) {
    return "http://" + catalogue::EmbeddedCatalogueHost() + "/banners/" + path;
  }

  std::unique_ptr<FrozenClock> clock_;
  std::unique_ptr<UpstreamStub> upstream_;
  std::unique_ptr<ScopedEnv> api_, images_;
  std::unique_ptr<catalogue::EmbeddedCatalogue> catalogue_;
  bool hadTvdbHost_ = false;
  std::string savedTvdbHost_;
  RecordingPage recording;
  SeriesRecord details;
};

TEST_F(CatalogueCommandsTest, SearchOpenFollowAndTheSchedulesAnswerFromTheCatalogue) {
  Search("clockwork");
  std::vector<PageCall> calls = Take();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].name, "ShowResults");
  EXPECT_EQ(calls[1].args, (Names{"Clockwork Meadow", "700", Artwork(kPoster), "Netflix",
                                  "2019-09-01", "Clockwork & gears."}));
  EXPECT_EQ(calls[2].name, "initFinish");
  const HttpAnswer poster = HttpGet(Artwork(kPoster));
  EXPECT_EQ(poster.status, 200);
  EXPECT_EQ(poster.body, "\x89PNG fake");

  Details("700");
  calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "PopulateDetails");
  EXPECT_EQ(calls[0].args[0], "Clockwork Meadow");
  EXPECT_EQ(calls[0].args[1], "Clockwork & gears.");
  EXPECT_EQ(calls[0].args[3], "Netflix");
  EXPECT_EQ(calls[0].args[4], "Running");
  EXPECT_EQ(calls[0].args[5], "21:00 Sunday");
  EXPECT_EQ(calls[0].args[6], "|Mystery|Drama|");
  EXPECT_EQ(calls[0].args[7], Artwork(kPoster));
  EXPECT_EQ(calls[0].args[8], "2");
  EXPECT_EQ(calls[0].args[10], "tt0700");

  ShowSeasonEpisodes(recording, details, 2);
  calls = Take();
  EXPECT_EQ(Column(calls, "PopulateSeasonsTable", 1),
            (Names{"Episode 7004", "Episode 7005", "Episode 7006"}));
  EXPECT_EQ(Column(calls, "PopulateSeasonsTable", 2),
            (Names{DaysFromToday(2), DaysFromToday(9), ""}));
  ShowSeasonEpisodes(recording, details, 0);  // the specials are never a season of their own
  EXPECT_EQ(TakeNames(), Names{"initFinish"});

  AddToFavsCommand(recording, details);
  EXPECT_EQ(TakeNames(), Names{"initFinish"});
  // The stored file is in the legacy layout, read back by the program's own reader.
  const std::string stored = ReadFile(GetDataFolder() + "700.xml");
  EXPECT_EQ(stored.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  EXPECT_NE(stored.find("<Data xmlns:xsi="), std::string::npos);
  const LegacyAnswer file = ReadLegacyAnswer(stored);
  ASSERT_EQ(file.series.size(), 1u);
  EXPECT_EQ(file.series[0].size(), 14u);
  ASSERT_EQ(file.episodes.size(), 8u);
  EXPECT_EQ(file.episodes[0].at("id"), "7090");
  EXPECT_EQ(file.episodes[1].at("Combined_season"), "0");
  EXPECT_EQ(file.episodes[1].at("Combined_episodenumber"), "2");
  EXPECT_EQ(file.episodes[0].size(), 13u);
  SeriesRecord reread;
  EXPECT_TRUE(reread.ReadSeriesDocument(GetDataFolder() + "700.xml"));
  EXPECT_EQ(reread.SeriesName, "Clockwork Meadow");
  EXPECT_EQ(reread.episodes.size(), 8u);

  ShowMyShowsCommand(recording);
  EXPECT_EQ(Take(), (std::vector<PageCall>{{"PopulateMyShowsTable",
                                            {"Clockwork Meadow", "700", "Netflix",
                                             "|Mystery|Drama|", Artwork(kPoster)}},
                                           {"initFinish", {}}}));
  // Tomorrow's special airs before the next regular episode.
  ShowNextShowsCommand(recording);
  calls = Take();
  ASSERT_EQ(Column(calls, "PopulateNextShows", 10), Names{"7091"});
  EXPECT_EQ(calls[0].args[1], "0");
  EXPECT_EQ(calls[0].args[2], "2");
  EXPECT_EQ(calls[0].args[4], DaysFromToday(1));
  ShowRecentShowsCommand(recording);
  EXPECT_EQ(Column(Take(), "PopulateRecentShows", 10), Names{"7003"});

  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  ASSERT_EQ(list.size(), 1u);
  list[0].DateAdded = DaysFromToday(-8);
  WriteFavorites(list);
  EXPECT_EQ(RefreshFollowedShows(), 1);  // the episode dated today
  ReadFavorites(list, GetFavoritesPath());
  EXPECT_EQ(list[0].DateAdded, FormatLocalDate(Now()));
  // Details and refresh within the hour: one show, two calls.
  EXPECT_EQ(upstream_->Hits(kShow700), 1);
  EXPECT_EQ(upstream_->Hits(kEpisodes700), 1);
}

TEST_F(CatalogueCommandsTest, TheDayOfAnEpisodeIsTheDayItAirsWhereTheUserIs) {
  upstream_->On("/tvmaze/shows/701", Json("{" + ShowFields(701, "Late Night") + "}"));
  upstream_->On(
      "/tvmaze/shows/701/episodes?specials=1",
      Json(EpisodeList({EpisodeJson(7101, 1, 1, "2030-03-03", "2030-03-04T02:00:00+00:00")})));
  struct Row {
    const char* zone;
    const char* day;
  };
  for (const Row row : {Row{"America/New_York", "2030-03-03"}, Row{"Europe/Berlin", "2030-03-04"},
                        Row{"UTC", "2030-03-04"}}) {
    SetTimeZone(row.zone);
    Details("701");
    Take();
    ShowSeasonEpisodes(recording, details, 1);
    EXPECT_EQ(Column(Take(), "PopulateSeasonsTable", 2), Names{row.day}) << row.zone;
  }
}

TEST_F(CatalogueCommandsTest, UpstreamDownServesWhatWasCachedAndElseNoResults) {
  Search("clockwork");
  Details("700");
  Take();
  upstream_.reset();  // TVmaze is gone
  AgeCache(3 * 86400);
  Search("clockwork");
  EXPECT_EQ(Column(Take(), "PopulateSearchTable", 1), Names{"700"});
  Details("700");
  EXPECT_EQ(Column(Take(), "PopulateDetails", 0), Names{"Clockwork Meadow"});

  // Nothing cached for this one: the same answers a dead host gives.
  Search("zebra");
  EXPECT_EQ(TakeNames(), (Names{"NoResults", "initFinish"}));
  Details("702");
  const std::vector<PageCall> calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (Names{"", "", "", "", "", " ", "", "", "0", "", ""}));
  EXPECT_EQ(calls[1].name, "initFinish");
}

TEST_F(CatalogueCommandsTest, TooManyRequestsIsHonoured) {
  upstream_->On("/tvmaze/search/shows?q=meadow",
                {{429, "", "application/json", {{"Retry-After", "1"}}},
                 Json("[{\"score\":0.9,\"show\":{" + ShowFields(700, "Clockwork Meadow") + "}}]")});
  Search("meadow");
  EXPECT_EQ(Column(Take(), "PopulateSearchTable", 1), Names{"700"});
  EXPECT_EQ(upstream_->Hits("/tvmaze/search/shows?q=meadow"), 2);
}

TEST_F(CatalogueCommandsTest, AWeekWithoutChangesCostsTheRefreshOneCall) {
  Details("700");
  AddToFavsCommand(recording, details);
  Take();
  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  ASSERT_EQ(list.size(), 1u);
  list[0].DateAdded = DaysFromToday(-8);
  WriteFavorites(list);
  AgeCache(7 * 86400 + 5 * 3600);
  upstream_->On("/tvmaze/updates/shows?since=month", Json("{\"1\":1700000000}"));
  StartCatalogue();  // the next start
  const int before = upstream_->TotalHits();
  EXPECT_EQ(RefreshFollowedShows(), 1);
  EXPECT_EQ(upstream_->TotalHits() - before, 1);
  EXPECT_EQ(upstream_->Requests().back(), "/tvmaze/updates/shows?since=month");
  // The rewritten file still holds the specials, ready for the schedules.
  SeriesRecord stored;
  ASSERT_TRUE(stored.ReadSeriesDocument(GetDataFolder() + "700.xml"));
  ASSERT_EQ(stored.episodes.size(), 8u);
  EXPECT_EQ(stored.episodes[1].id, "7091");
  ShowNextShowsCommand(recording);
  EXPECT_EQ(Column(Take(), "PopulateNextShows", 10), Names{"7091"});
}

}  // namespace
}  // namespace quorvel::test
