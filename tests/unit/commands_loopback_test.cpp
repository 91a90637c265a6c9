// The commands against the loopback test world: real HTTP, real files, the page recorded.
#include <gtest/gtest.h>

#include <memory>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "schedule/CurrentlyPlaying.h"
#include "schedule/DataFiles.h"
#include "schedule/DetailsView.h"
#include "schedule/Favorites.h"
#include "schedule/SearchView.h"
#include "schedule/ShowViews.h"
#include "schedule/StartupRefresh.h"
#include "shows/SeriesSearch.h"
#include "support/LoopbackTest.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"
#include "support/TestServer.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class CommandsLoopbackTest : public LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    const int64_t midnight = *ParseAirDate(FormatLocalDate(Now()));
    clock_ = std::make_unique<FrozenClock>(midnight + 15 * 3600);
    server_->setToday(FormatLocalDate(Now()));
  }
  void TearDown() override {
    clock_.reset();
    LoopbackTest::TearDown();
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
  void Details(int32_t id) {
    std::string pending = std::to_string(id);
    ShowSeriesDetails(recording, pending, details);
  }
  void Follow(int32_t id) {
    Details(id);
    AddToFavsCommand(recording, details);
    recording.calls.clear();
  }
  // Argument `index` of every call to `function`.
  Names Column(const std::vector<PageCall>& calls, const std::string& function, size_t index) {
    Names values;
    for (const auto& call : calls) {
      if (call.name == function) values.push_back(call.args.at(index));
    }
    return values;
  }

  std::unique_ptr<FrozenClock> clock_;
  RecordingPage recording;
  SeriesRecord details;
};

TEST_F(CommandsLoopbackTest, AmpersandInTheSearchTextStaysInsideTheQueryValue) {
  Search("Law & Order");
  EXPECT_EQ(server_->hits(), Names{"/api/GetSeries.php?seriesname=Law%20%26%20Order"});
  const std::vector<PageCall> calls = Take();
  EXPECT_EQ(Column(calls, "PopulateSearchTable", 0), Names{"Law & Order: Harbour Unit"});
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().name, "initFinish");
}

TEST_F(CommandsLoopbackTest, SearchAnswersRowsOrNoResults) {
  Search("star");
  const std::vector<PageCall> calls = Take();
  EXPECT_EQ(Column(calls, "PopulateSearchTable", 1), (Names{"80011", "80012", "80013"}));
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls.front().name, "ShowResults");
  EXPECT_EQ(calls.back().name, "initFinish");

  Search("zzz");
  EXPECT_EQ(TakeNames(), (Names{"NoResults", "initFinish"}));
  server_->fault("/api/GetSeries.php", "500");
  Search("star");
  EXPECT_EQ(TakeNames(), (Names{"NoResults", "initFinish"}));
}

TEST_F(CommandsLoopbackTest, DeadServerAnswersLikeNoHits) {
  std::string deadHost;
  {
    TestServer shortLived;
    deadHost = shortLived.host();
  }
  SetPlaces([&](Places& places) { places.tvdbHost = deadHost; });
  Search("star");
  EXPECT_EQ(TakeNames(), (Names{"NoResults", "initFinish"}));
  Details(80004);
  const std::vector<PageCall> calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (Names{"", "", "", "", "", " ", "", "", "0", "", ""}));
}

TEST_F(CommandsLoopbackTest, SearchOpenFollowListAndUnfollow) {
  Search("clockwork");
  EXPECT_EQ(Column(Take(), "PopulateSearchTable", 1), Names{"80004"});

  Details(80004);
  std::vector<PageCall> calls = Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[0], "Clockwork Street");
  EXPECT_EQ(calls[0].args[5], "8:00 PM Daily");
  EXPECT_EQ(calls[0].args[7], "http://" + server_->host() + "/banners/posters/80004-1.jpg");
  EXPECT_EQ(calls[0].args[8], "1");

  ShowSeasonEpisodes(recording, details, 1);
  calls = Take();
  EXPECT_EQ(Column(calls, "PopulateSeasonsTable", 3),
            (Names{"0", "1", "0", "1", "0", "1", "0", "1"}));

  AddToFavsCommand(recording, details);
  EXPECT_EQ(TakeNames(), Names{"initFinish"});
  FavoriteList stored;
  ReadFavorites(stored, GetFavoritesPath());
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].DateAdded, FormatLocalDate(Now()));

  ShowMyShowsCommand(recording);
  EXPECT_EQ(Take(),
            (std::vector<PageCall>{{"PopulateMyShowsTable",
                                    {"Clockwork Street", "80004", "Tick TV", "|Mystery|",
                                     "http://" + server_->host() + "/banners/posters/80004-1.jpg"}},
                                   {"initFinish", {}}}));
  ShowNextShowsCommand(recording);
  EXPECT_EQ(Column(Take(), "PopulateNextShows", 10), Names{"900406"});
  ShowRecentShowsCommand(recording);
  EXPECT_EQ(Column(Take(), "PopulateRecentShows", 10), Names{"900405"});

  RemoveShowCommand(recording, 80004);
  EXPECT_EQ(TakeNames(), Names{"initFinish"});
  EXPECT_FALSE(FileExists(GetDataFolder() + "80004.xml"));
  ShowMyShowsCommand(recording);
  EXPECT_EQ(TakeNames(), Names{"initFinish"});
}

TEST_F(CommandsLoopbackTest, SixtiesSeriesDoesNotHideTheSeriesAfterIt) {
  Follow(80002);
  Follow(80004);
  ShowNextShowsCommand(recording);
  EXPECT_EQ(Column(Take(), "PopulateNextShows", 8), Names{"80004"});
  ShowRecentShowsCommand(recording);
  const std::vector<PageCall> recent = Take();
  EXPECT_EQ(Column(recent, "PopulateRecentShows", 8), (Names{"80002", "80004"}));
  EXPECT_EQ(Column(recent, "PopulateRecentShows", 4),
            (Names{"1988-07-20", FormatLocalDate(Now())}));

  int32_t rowIndex = 0;
  ShowCurrentlyPlaying(recording, rowIndex);
  const std::vector<PageCall> now = Take();
  EXPECT_EQ(Column(now, "PopulateCurentlyPlayingTable", 10), (Names{"900403", "900404", "900405"}));
  EXPECT_EQ(Column(now, "PopulateCurentlyPlayingTable", 7), (Names{"0", "1", "2"}));
  EXPECT_EQ(Column(now, "AddRssItem", 0),
            (Names{"Item C 3x10", "Item B & Friends 2x03", "Item A 1x01"}));
  ASSERT_FALSE(now.empty());
  EXPECT_EQ(now.back().name, "initFinish");
}

TEST_F(CommandsLoopbackTest, RefreshDownloadsWhatIsDueAndCountsToday) {
  Follow(80004);
  Follow(80001);
  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  list[0].DateAdded = DaysFromToday(-8);
  list[1].DateAdded = DaysFromToday(-6);
  WriteFavorites(list);
  server_->reset();
  server_->setToday(FormatLocalDate(Now()));

  EXPECT_EQ(RefreshFollowedShows(), 1);
  EXPECT_EQ(server_->hits(), Names{"/api/9F41B2D07E6A3C15/series/80004/all/en.xml"});
  ReadFavorites(list, GetFavoritesPath());
  EXPECT_EQ(list[0].DateAdded, FormatLocalDate(Now()));
  EXPECT_EQ(list[1].DateAdded, DaysFromToday(-6));
}

TEST_F(CommandsLoopbackTest, RefreshAgainstAFailingServerChangesNothing) {
  Follow(80004);
  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  list[0].DateAdded = DaysFromToday(-30);
  WriteFavorites(list);
  const std::string favoritesBefore = ReadFile(GetFavoritesPath());
  const std::string seriesBefore = ReadFile(GetDataFolder() + "80004.xml");
  for (const std::string kind : {"500", "404", "not-xml", "truncated", "empty"}) {
    server_->fault("/api/9F41B2D07E6A3C15/series/80004/all/en.xml", kind);
    EXPECT_EQ(RefreshFollowedShows(), 1) << kind;
    EXPECT_EQ(ReadFile(GetFavoritesPath()), favoritesBefore) << kind;
    EXPECT_EQ(ReadFile(GetDataFolder() + "80004.xml"), seriesBefore) << kind;
  }
}

}  // namespace
}  // namespace quorvel::test
