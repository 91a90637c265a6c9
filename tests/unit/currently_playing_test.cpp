#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "schedule/CurrentlyPlaying.h"
#include "schedule/DataFiles.h"
#include "shows/RssChannel.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class CurrentlyPlayingTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    folder = GetDataFolder();
    // Mid-afternoon, so that "three days" is not decided by a second either way.
    const int64_t midnight = *ParseAirDate(FormatLocalDate(Now()));
    clock = std::make_unique<FrozenClock>(midnight + 15 * 3600);
  }
  void TearDown() override {
    clock.reset();
    SandboxedTest::TearDown();
  }

  void Follow(const std::vector<SeriesFixture>& all) {
    std::vector<FavoriteShow> entries;
    for (const auto& series : all) entries.push_back(StoreSeries(folder, series));
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  void Run() {
    recording.calls.clear();
    ShowCurrentlyPlaying(recording, currentRowIndex);
  }
  // (episode id, row index) of each episode row.
  std::vector<std::pair<std::string, std::string>> Rows() const {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& call : recording.calls) {
      if (call.name == "PopulateCurentlyPlayingTable")
        rows.emplace_back(call.args[10], call.args[7]);
    }
    return rows;
  }

  std::unique_ptr<FrozenClock> clock;
  std::string folder;
  RecordingPage recording;
  FakeFetcher fetcher;
  int32_t currentRowIndex = 42;
};

EpisodeFixture Dated(const std::string& id, int days) {
  return {.id = id, .FirstAired = DaysFromToday(days)};
}

TEST_F(CurrentlyPlayingTest, EpisodesOfTheLastThreeDaysInFileOrderWithRowIndexes) {
  Follow({{.id = "1",
           .episodes = {Dated("four-ago", -4),
                        Dated("today", 0),
                        Dated("tomorrow", 1),
                        Dated("yesterday", -1),
                        {.id = "undated"},
                        Dated("three-ago", -3),
                        Dated("two-ago", -2)}}});
  Run();
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(Rows(), (std::vector<Row>{{"today", "0"}, {"yesterday", "1"}, {"two-ago", "2"}}));
  EXPECT_EQ(recording.Names(),
            (Names{"PopulateCurentlyPlayingTable", "PopulateCurentlyPlayingTable",
                   "PopulateCurentlyPlayingTable", "initFinish"}));
  EXPECT_EQ(currentRowIndex, 2);
}

TEST_F(CurrentlyPlayingTest, RowCarriesTwelveArgumentsInOrder) {
  Follow({{.id = "73",
           .SeriesName = "Lost",
           .IMDB_ID = "tt0411008",
           .banner = "graphical/73.jpg",
           .episodes = {{.id = "e1",
                         .FirstAired = DaysFromToday(0),
                         .SeasonNumber = "3",
                         .EpisodeNumber = "4",
                         .EpisodeName = "Every Man for Himself",
                         .Overview = "Cages.",
                         .IMDB_ID = "tt0900001"},
                        {.id = "e2", .FirstAired = DaysFromToday(-1), .filename = "ep/e2.jpg"}}}});
  Run();
  const std::vector<PageCall> expected = {
      {"PopulateCurentlyPlayingTable",
       {"Lost", "73", "3", "4", "Every Man for Himself", DaysFromToday(0),
        "http://tvdb.test/banners/graphical/73.jpg", "0", "Cages.", "tt0411008", "e1",
        "tt0900001"}},
      {"PopulateCurentlyPlayingTable",
       {"Lost", "73", "1", "1", "Pilot", DaysFromToday(-1), "http://tvdb.test/banners/ep/e2.jpg",
        "1", "", "tt0411008", "e2", ""}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
}

TEST_F(CurrentlyPlayingTest, FeedItemsGoLastToFirstAndDoNotCountAsRows) {
  fetcher.bodies[GetFeedUrl()] =
      FeedDocument({{"A", "http://a.test/1"}, {"B", "http://b.test/2"}, {"C", "magnet:?xt=c"}});
  Run();
  const std::vector<PageCall> expected = {
      {"AddRssItem", {"C", "magnet:?xt=c"}},
      {"AddRssItem", {"B", "http://b.test/2"}},
      {"AddRssItem", {"A", "http://a.test/1"}},
      {"initFinish", {}},
      {"NoResults", {}},
  };
  EXPECT_EQ(recording.calls, expected);
  EXPECT_EQ(fetcher.requests, Names{"http://feed.test/other/shows.rss"});
  EXPECT_EQ(currentRowIndex, -1);
}

TEST_F(CurrentlyPlayingTest, DeadFeedStillEndsTheView) {
  Follow({{.id = "1", .episodes = {Dated("today", 0)}}});
  Run();
  EXPECT_EQ(recording.Names(), (Names{"PopulateCurentlyPlayingTable", "initFinish"}));
  Follow({{.id = "1", .episodes = {Dated("old", -9)}}});
  Run();
  EXPECT_EQ(recording.Names(), (Names{"initFinish", "NoResults"}));
}

TEST_F(CurrentlyPlayingTest, TwoSeriesGiveRowsInFavoritesOrder) {
  fetcher.bodies[GetFeedUrl()] = FeedDocument({{"A", "http://a.test/1"}});
  Follow({{.id = "2", .episodes = {Dated("second-series", -1)}},
          {.id = "1", .episodes = {Dated("first-series", 0)}}});
  Run();
  EXPECT_EQ(recording.Names(), (Names{"PopulateCurentlyPlayingTable",
                                      "PopulateCurentlyPlayingTable", "AddRssItem", "initFinish"}));
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(Rows(), (std::vector<Row>{{"second-series", "0"}, {"first-series", "1"}}));
}

TEST_F(CurrentlyPlayingTest, UnconvertibleDatesAreSkippedAndTheViewGoesOn) {
  fetcher.bodies[GetFeedUrl()] = FeedDocument({{"A", "http://a.test/1"}});
  Follow({{.id = "1",
           .episodes = {{.id = "sixties", .FirstAired = "1965-04-01"},
                        Dated("after", 0),
                        {.id = "bad", .FirstAired = "2012-00-10"}}},
          {.id = "2", .episodes = {Dated("later-series", -2)}}});
  Run();
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(Rows(), (std::vector<Row>{{"after", "0"}, {"later-series", "1"}}));
  EXPECT_EQ(recording.Names(), (Names{"PopulateCurentlyPlayingTable",
                                      "PopulateCurentlyPlayingTable", "AddRssItem", "initFinish"}));
}

}  // namespace
}  // namespace quorvel::test
