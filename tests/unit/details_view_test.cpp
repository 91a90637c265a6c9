#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/Paths.h"
#include "schedule/DetailsView.h"
#include "shows/SeriesRecord.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class DetailsViewTest : public SandboxedTest {
 protected:
  void Serve(const SeriesFixture& series) {
    fetcher.bodies[GetSeriesRecordUrl(series.id)] = SeriesDocument(series);
  }
  void ShowDetails(const std::string& id) {
    std::string pending = id;
    ShowSeriesDetails(recording, pending, record);
    EXPECT_TRUE(pending.empty());
  }
  std::vector<std::string> Parities() const {
    std::vector<std::string> parities;
    for (const auto& call : recording.calls) {
      if (call.name == "PopulateSeasonsTable") parities.push_back(call.args[3]);
    }
    return parities;
  }

  RecordingPage recording;
  FakeFetcher fetcher;
  SeriesRecord record;
};

EpisodeFixture InSeason(const std::string& season, const std::string& number) {
  return {.id = "e" + season + "-" + number,
          .FirstAired = "2011-0" + number + "-01",
          .EpisodeNumber = number,
          .EpisodeName = "Episode " + number,
          .Combined_season = season};
}

TEST_F(DetailsViewTest, PopulateDetailsCarriesElevenArgumentsInOrder) {
  Serve({.id = "73",
         .SeriesName = "Lost",
         .Network = "ABC",
         .Genre = "|Drama|Mystery|",
         .Airs_Time = "9:00 PM",
         .Airs_DayOfWeek = "Tuesday",
         .Actors = "|Matthew Fox|",
         .Overview = "Survivors.",
         .IMDB_ID = "tt0411008",
         .banner = "graphical/73.jpg",
         .fanart = "fanart/73.jpg",
         .poster = "posters/73.jpg",
         .episodes = {InSeason("1", "1"), InSeason("2", "1")}});
  ShowDetails("73");
  const std::vector<PageCall> expected = {
      {"PopulateDetails",
       {"Lost", "Survivors.", "|Matthew Fox|", "ABC", "Continuing", "9:00 PM Tuesday",
        "|Drama|Mystery|", "http://tvdb.test/banners/posters/73.jpg", "2", "73", "tt0411008"}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
}

TEST_F(DetailsViewTest, SeasonCountIsTheLargestCombinedSeason) {
  const struct {
    std::vector<std::string> seasons;
    std::string count;
  } rows[] = {
      {{"1", "2", "10", "0"}, "10"},
      {{"1.0", "2.0", "3.0"}, "3"},
      {{"0", "-4", "x", ""}, "0"},
      {{}, "0"},
  };
  for (const auto& row : rows) {
    SeriesFixture series{.id = "80", .SeriesName = "Seasons"};
    for (const auto& season : row.seasons) series.episodes.push_back(InSeason(season, "1"));
    Serve(series);
    recording.calls.clear();
    ShowDetails("80");
    ASSERT_EQ(recording.calls.size(), 2u);
    EXPECT_EQ(recording.calls[0].args[8], row.count);
  }
}

TEST_F(DetailsViewTest, ArtworkFallsBackFromPosterToFanartToBanner) {
  const struct {
    std::string fanart, poster, banner, url;
  } rows[] = {
      {"f.jpg", "p.jpg", "b.jpg", "http://tvdb.test/banners/p.jpg"},
      {"f.jpg", "", "b.jpg", "http://tvdb.test/banners/f.jpg"},
      {"", "", "b.jpg", "http://tvdb.test/banners/b.jpg"},
      {"", "", "", ""},
  };
  for (const auto& row : rows) {
    Serve({.id = "81", .banner = row.banner, .fanart = row.fanart, .poster = row.poster});
    recording.calls.clear();
    ShowDetails("81");
    EXPECT_EQ(recording.calls.at(0).args[7], row.url);
  }
}

TEST_F(DetailsViewTest, AirTextKeepsItsSingleSpace) {
  Serve({.id = "82", .Airs_Time = "8 PM"});
  ShowDetails("82");
  EXPECT_EQ(recording.calls.at(0).args[5], "8 PM ");
}

TEST_F(DetailsViewTest, FailedDownloadSendsEmptyDetailsAndLeavesNoSeasons) {
  Serve({.id = "83", .SeriesName = "Before", .episodes = {InSeason("1", "1")}});
  ShowDetails("83");
  ShowDetails("404");  // the server does not know it
  const std::vector<PageCall> failed = {
      {"PopulateDetails", {"", "", "", "", "", " ", "", "", "0", "", ""}},
      {"initFinish", {}},
  };
  ASSERT_EQ(recording.calls.size(), 4u);
  EXPECT_EQ(std::vector<PageCall>(recording.calls.begin() + 2, recording.calls.end()), failed);

  recording.calls.clear();
  ShowSeasonEpisodes(recording, record, 1);
  EXPECT_EQ(recording.Names(), Names{"initFinish"});
}

TEST_F(DetailsViewTest, IdThatIsNotPlainDigitsIsNeverRequested) {
  for (const std::string id : {"-5", "../x", "7 ", "12345678901"}) {
    recording.calls.clear();
    ShowDetails(id);
    EXPECT_EQ(recording.calls.at(0).args[8], "0");
    EXPECT_EQ(recording.calls.at(0).args[9], "");
  }
  EXPECT_TRUE(fetcher.requests.empty());
}

TEST_F(DetailsViewTest, EmptyPendingIdAnswersOnlyInitFinish) {
  ShowDetails("");
  EXPECT_EQ(recording.Names(), Names{"initFinish"});
  EXPECT_TRUE(fetcher.requests.empty());
}

TEST_F(DetailsViewTest, SeasonRowsAlternateParityInDocumentOrder) {
  SeriesFixture series{.id = "84"};
  series.episodes = {InSeason("2", "3"), InSeason("1", "1"),   InSeason("2", "1"),
                     InSeason("2", "2"), InSeason("2.0", "5"), InSeason("3", "1"),
                     InSeason("2", "4")};
  Serve(series);
  ShowDetails("84");
  recording.calls.clear();

  ShowSeasonEpisodes(recording, record, 2);
  EXPECT_EQ(Parities(), (Names{"0", "1", "0", "1", "0"}));
  ASSERT_EQ(recording.calls.size(), 6u);
  EXPECT_EQ(recording.calls[0].args, (Names{"3", "Episode 3", "2011-03-01", "0"}));
  EXPECT_EQ(recording.calls[4].args[0], "4");
  EXPECT_EQ(recording.calls[5].name, "initFinish");
}

TEST_F(DetailsViewTest, SeasonZeroOrNegativeAnswersOnlyInitFinish) {
  Serve({.id = "85", .episodes = {InSeason("0", "1"), InSeason("-1", "2")}});
  ShowDetails("85");
  for (int season : {0, -1}) {
    recording.calls.clear();
    ShowSeasonEpisodes(recording, record, season);
    EXPECT_EQ(recording.Names(), Names{"initFinish"});
  }
}

TEST_F(DetailsViewTest, SeasonViewAnswersFromTheLatestDetails) {
  Serve({.id = "86", .episodes = {InSeason("1", "1")}});
  Serve({.id = "87", .episodes = {InSeason("1", "1"), InSeason("1", "2")}});
  ShowDetails("86");
  ShowDetails("87");
  recording.calls.clear();
  ShowSeasonEpisodes(recording, record, 1);
  EXPECT_EQ(Parities(), (Names{"0", "1"}));
}

}  // namespace
}  // namespace quorvel::test
