#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "schedule/DataFiles.h"
#include "schedule/DetailsView.h"
#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class FavoritesTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    clock = std::make_unique<FrozenClock>();
    folder = GetDataFolder();
  }
  void TearDown() override {
    clock.reset();
    SandboxedTest::TearDown();
  }

  FavoriteShow Entry(const std::string& id, const std::string& date) const {
    return {.seriesid = id, .DateAdded = date, .PathToDetails = folder + id + ".xml"};
  }
  void WriteFavoritesFile(const std::vector<FavoriteShow>& entries) const {
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  FavoriteList Stored() const {
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    return list;
  }
  std::vector<std::string> StoredIds() const {
    std::vector<std::string> ids;
    for (const auto& f : Stored()) ids.push_back(f.seriesid);
    return ids;
  }
  // The details view has read the series, as before a Follow.
  void ReadDetails(const std::string& id) {
    fetcher.bodies[GetSeriesRecordUrl(id)] =
        SeriesDocument({.id = id,
                        .SeriesName = "Series " + id,
                        .episodes = {{.id = "1", .FirstAired = "2012-01-01"}}});
    std::string pending = id;
    ShowSeriesDetails(recording, pending, details);
  }
  std::vector<std::string> AsideFiles() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
      const std::string name = item.path().filename();
      if (name.rfind("favorites.xml.unreadable-", 0) == 0) names.push_back(name);
    }
    return names;
  }

  std::unique_ptr<FrozenClock> clock;
  std::string folder;
  RecordingPage recording;
  FakeFetcher fetcher;
  SeriesRecord details;
};

TEST_F(FavoritesTest, WrittenFileHasTheStoredLayoutByteForByte) {
  FavoriteList list = {Entry("73", "2012-05-03"),
                       {.seriesid = "", .DateAdded = "", .PathToDetails = "a&b"}};
  ASSERT_TRUE(WriteFavorites(list));
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Data xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
      "<Series><DateAdded>2012-05-03</DateAdded>\r\n<PathToDetails>" +
      folder +
      "73.xml</PathToDetails>\r\n<seriesid>73</seriesid>\r\n</Series>"
      "<Series><DateAdded/>\r\n<PathToDetails>a&amp;b</PathToDetails>\r\n<seriesid/>\r\n</Series>"
      "</Data>\n";
  EXPECT_EQ(ReadFile(GetFavoritesPath()), expected);
}

TEST_F(FavoritesTest, ReaderToleratesOrderMissingAndExtraChildren) {
  WriteFile(GetFavoritesPath(),
            "<?xml version=\"1.0\"?>\n<Data extra=\"1\">\n"
            "  <Series note=\"x\"><seriesid>9</seriesid><Other>o</Other>"
            "<DateAdded> 2011-01-02 </DateAdded><PathToDetails>/p/9.xml</PathToDetails>"
            "<seriesid>10</seriesid></Series>\n"
            "  <Series><PathToDetails>/p/none.xml</PathToDetails></Series>\n"
            "  <Other><Series><seriesid>11</seriesid></Series></Other>\n"
            "</Data>\n");
  FavoriteList list = {Entry("stale", "")};
  EXPECT_TRUE(ReadFavorites(list, GetFavoritesPath()));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].seriesid, "9");
  EXPECT_EQ(list[0].DateAdded, "2011-01-02");
  EXPECT_EQ(list[0].PathToDetails, "/p/9.xml");
  EXPECT_EQ(list[1].seriesid, "");
  EXPECT_EQ(list[1].DateAdded, "");
}

TEST_F(FavoritesTest, MissingOrForeignFileReadsAsEmptyList) {
  FavoriteList list = {Entry("1", "")};
  EXPECT_FALSE(ReadFavorites(list, GetFavoritesPath()));
  EXPECT_TRUE(list.empty());
  WriteFile(GetFavoritesPath(), "<Favorites><Series><seriesid>1</seriesid></Series></Favorites>");
  EXPECT_FALSE(ReadFavorites(list, GetFavoritesPath()));
  EXPECT_TRUE(list.empty());
}

TEST_F(FavoritesTest, FollowingTwiceKeepsOneEntryDatedTodayWithItsPath) {
  WriteFavoritesFile(
      {{.seriesid = "73", .DateAdded = "2001-01-01", .PathToDetails = "/old/73.xml"}});
  ReadDetails("73");
  AddToFavsCommand(recording, details);
  AddToFavsCommand(recording, details);

  const FavoriteList stored = Stored();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].DateAdded, DaysFromToday(0));
  EXPECT_EQ(stored[0].PathToDetails, "/old/73.xml");
  EXPECT_TRUE(FileExists(folder + "73.xml"));
  EXPECT_EQ(recording.Names(),
            (Names{"PopulateDetails", "initFinish", "initFinish", "initFinish"}));
}

TEST_F(FavoritesTest, FollowingAppendsANewSeriesWithItsFile) {
  WriteFavoritesFile({Entry("5", "2020-02-02")});
  ReadDetails("6");
  AddToFavsCommand(recording, details);
  const FavoriteList stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].DateAdded, "2020-02-02");
  EXPECT_EQ(stored[1].seriesid, "6");
  EXPECT_EQ(stored[1].DateAdded, DaysFromToday(0));
  EXPECT_EQ(stored[1].PathToDetails, folder + "6.xml");
  SeriesRecord written;
  written.ReadSeriesDocument(folder + "6.xml");
  EXPECT_EQ(written.SeriesName, "Series 6");
}

TEST_F(FavoritesTest, AddingUpdatesTheDateOfEveryDuplicate) {
  FavoriteList list = {Entry("8", "2000-01-01"), Entry("9", "2000-01-01"),
                       Entry("8", "2000-01-02")};
  AddFavorite(list, "8");
  const FavoriteList stored = Stored();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0].DateAdded, DaysFromToday(0));
  EXPECT_EQ(stored[1].DateAdded, "2000-01-01");
  EXPECT_EQ(stored[2].DateAdded, DaysFromToday(0));
}

TEST_F(FavoritesTest, FollowWithoutReadableDetailsFollowsNothing) {
  AddToFavsCommand(recording, details);  // nothing read yet
  std::string unknown = "404";           // the server does not know it: a failed download
  ShowSeriesDetails(recording, unknown, details);
  AddToFavsCommand(recording, details);
  SeriesRecord odd;
  odd.id = "../evil";
  AddToFavsCommand(recording, odd);

  EXPECT_EQ(recording.Names(),
            (Names{"initFinish", "PopulateDetails", "initFinish", "initFinish", "initFinish"}));
  EXPECT_FALSE(FileExists(GetFavoritesPath()));
  EXPECT_FALSE(FileExists(folder + ".xml"));
  EXPECT_FALSE(FileExists(root() + "/data/evil.xml"));
}

TEST_F(FavoritesTest, RemovingDropsEveryEntryAndFileOfThatSeries) {
  WriteFile(folder + "8.xml", "x");
  WriteFile(folder + "9.xml", "x");
  WriteFavoritesFile(
      {Entry("8", "2000-01-01"), Entry("9", "2000-01-01"), Entry("8", "2000-01-02")});
  RemoveShowCommand(recording, 8);
  EXPECT_EQ(StoredIds(), Names{"9"});
  EXPECT_FALSE(FileExists(folder + "8.xml"));
  EXPECT_TRUE(FileExists(folder + "9.xml"));
  EXPECT_EQ(recording.Names(), Names{"initFinish"});
}

TEST_F(FavoritesTest, RemovingASeriesWhoseFileIsAlreadyGoneStillUnfollowsIt) {
  WriteFavoritesFile({Entry("8", "2000-01-01"), Entry("9", "2000-01-01")});
  RemoveShowCommand(recording, 8);
  EXPECT_EQ(StoredIds(), Names{"9"});
}

TEST_F(FavoritesTest, RemovingAnUnknownIdRewritesTheSameEntries) {
  WriteFile(GetFavoritesPath(),
            "<Data><Series><seriesid>9</seriesid><Extra/><DateAdded>2000-01-01</DateAdded>"
            "<PathToDetails>/p</PathToDetails></Series></Data>");
  RemoveShowCommand(recording, -9);
  EXPECT_NE(
      ReadFile(GetFavoritesPath())
          .find("<Series><DateAdded>2000-01-01</DateAdded>\r\n<PathToDetails>/p</PathToDetails>\r\n"
                "<seriesid>9</seriesid>\r\n</Series>"),
      std::string::npos);
}

TEST_F(FavoritesTest, RemovingWithoutAFileWritesAnEmptyList) {
  RemoveShowCommand(recording, 1);
  EXPECT_TRUE(FileExists(GetFavoritesPath()));
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(recording.Names(), Names{"initFinish"});
}

TEST_F(FavoritesTest, DeletionFailureLeavesFavoritesUntouched) {
  fs::create_directories(folder + "8.xml/inside");  // cannot be unlinked, even by root
  WriteFavoritesFile({Entry("8", "2000-01-01"), Entry("9", "2000-01-01")});
  const std::string before = ReadFile(GetFavoritesPath());
  RemoveShowCommand(recording, 8);
  EXPECT_EQ(ReadFile(GetFavoritesPath()), before);
  EXPECT_EQ(recording.Names(), Names{"initFinish"});
}

TEST_F(FavoritesTest, OnlyPerSeriesFilesInsideTheDataFolderAreDeleted) {
  const std::string outside = root() + "/keep.xml";
  const std::vector<std::string> untouchable = {outside, folder + "notes.txt", GetFavoritesPath(),
                                                folder + "../Quorvel/12.xml"};
  WriteFile(outside, "mine");
  WriteFile(folder + "notes.txt", "mine");
  WriteFile(folder + "12.xml", "series");
  std::vector<FavoriteShow> entries;
  for (const auto& path : untouchable)
    entries.push_back({.seriesid = "12", .DateAdded = "", .PathToDetails = path});
  WriteFavoritesFile(entries);

  RemoveShowCommand(recording, 12);
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(ReadFile(outside), "mine");
  EXPECT_EQ(ReadFile(folder + "notes.txt"), "mine");
  EXPECT_EQ(ReadFile(folder + "12.xml"), "series");
}

TEST_F(FavoritesTest, UnreadableFavoritesAreKeptAsideBeforeAWrite) {
  const std::vector<std::string> damaged = {"<Data><Series><seriesid>7</seriesid>",
                                            "<Other><Series/></Other>", ""};
  for (const std::string& bytes : damaged) {
    WriteFile(GetFavoritesPath(), bytes);
    ReadDetails("6");
    AddToFavsCommand(recording, details);
    EXPECT_EQ(StoredIds(), Names{"6"});
    fs::remove(folder + "6.xml");
  }
  const std::vector<std::string> aside = AsideFiles();
  ASSERT_EQ(aside.size(), damaged.size());
  std::set<std::string> kept;
  for (const auto& name : aside) kept.insert(ReadFile(folder + name));
  EXPECT_EQ(kept, std::set<std::string>(damaged.begin(), damaged.end()));
  const std::time_t now = static_cast<std::time_t>(clock->now());
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  EXPECT_EQ(static_cast<std::ptrdiff_t>(aside.size()),
            std::count_if(aside.begin(), aside.end(), [&](const std::string& n) {
              return n.rfind(std::string("favorites.xml.unreadable-") + stamp, 0) == 0;
            }));
}

TEST_F(FavoritesTest, ReadableFavoritesAreNeverKeptAside) {
  WriteFavoritesFile({});
  RemoveShowCommand(recording, 1);
  WriteFavoritesFile({Entry("4", "2000-01-01")});
  RemoveShowCommand(recording, 4);
  EXPECT_TRUE(AsideFiles().empty());
}

}  // namespace
}  // namespace quorvel::test
