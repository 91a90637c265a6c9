#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "schedule/DataFiles.h"
#include "schedule/DetailsView.h"
#include "schedule/Favorites.h"
#include "schedule/ShowViews.h"
#include "shows/SeriesRecord.h"
#include "support/DescriptorsExhausted.h"
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

// A file whose bytes could not be read says nothing about its content: it stays where it is, and
// neither command changes anything, not even the series files.
TEST_F(FavoritesTest, AFileThatCannotBeReadIsLeftAloneAndNothingChanges) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
    std::function<void()> during;  // run around the command, or null
  };
  const std::string valid = FavoritesDocument({Entry("4", "2000-01-01"), Entry("5", "2000-01-01")});
  std::unique_ptr<DescriptorsExhausted> exhausted;
  const std::vector<Case> cases = {
      {"no descriptor free", [&](const std::string& path) { WriteFile(path, valid); },
       [&] { exhausted = exhausted ? nullptr : std::make_unique<DescriptorsExhausted>(); }},
      {"over the size cap",
       [&](const std::string& path) {
         WriteFile(path, valid);
         ASSERT_EQ(truncate(path.c_str(), 33 * 1024 * 1024), 0);
       },
       nullptr},
      {"a folder in its place", [&](const std::string& path) { fs::create_directory(path); },
       nullptr},
      {"a pipe in its place", [&](const std::string& path) { mkfifo(path.c_str(), 0600); },
       nullptr},
      {"no permission",
       [&](const std::string& path) {
         WriteFile(path, valid);
         chmod(path.c_str(), 0);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "no permission" && geteuid() == 0) continue;  // root reads it
    const std::string path = GetFavoritesPath();
    fs::remove_all(path);
    c.make(path);
    const auto before = fs::status(path);
    const std::string bytesBefore = fs::is_regular_file(path) && c.during ? ReadFile(path) : "";
    WriteFile(folder + "4.xml", "series 4");
    ReadDetails("6");
    for (int command = 0; command < 2; ++command) {
      recording.calls.clear();
      if (c.during) c.during();
      if (command == 0) {
        RemoveShowCommand(recording, 4);
      } else {
        AddToFavsCommand(recording, details);
      }
      if (c.during) c.during();
      EXPECT_EQ(recording.Names(), Names{"initFinish"});
    }
    EXPECT_TRUE(AsideFiles().empty());
    EXPECT_EQ(fs::status(path).type(), before.type());
    if (!bytesBefore.empty()) {
      EXPECT_EQ(ReadFile(path), bytesBefore);
    }
    EXPECT_EQ(ReadFile(folder + "4.xml"), "series 4") << "the unfollow deleted nothing";
    EXPECT_FALSE(FileExists(folder + "6.xml")) << "the follow wrote nothing";
    chmod(path.c_str(), 0600);
    fs::remove_all(path);
  }
}

TEST_F(FavoritesTest, AKeptAsideFileIsPutBackWhenTheWriteAfterItFails) {
  WriteFile(GetFavoritesPath(), "<Data><Series>damaged");
  ReadDetails("6");
  FavoriteList list;
  ASSERT_FALSE(ReadFavorites(list, GetFavoritesPath()));
  // Reading works, writing stops at the first bytes: a save that fails after the keep-aside.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit tiny{8, saved.rlim_max};
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tiny);
  const bool added = AddFavorite(list, "6");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(added);
  EXPECT_EQ(ReadFile(GetFavoritesPath()), "<Data><Series>damaged");
  EXPECT_TRUE(AsideFiles().empty());
}

TEST_F(FavoritesTest, MyShowsTellsOfAKeptAsideListWhileNoneIsFollowed) {
  WriteFile(GetFavoritesPath(), "not a list");
  ReadDetails("6");
  RemoveShowCommand(recording, 6);  // keeps it aside and writes an empty list
  const std::vector<std::string> aside = AsideFiles();
  ASSERT_EQ(aside.size(), 1u);
  for (bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "favorites.xml missing" : "favorites.xml without entries");
    if (missing) fs::remove(GetFavoritesPath());
    recording.calls.clear();
    ShowMyShowsCommand(recording);
    ASSERT_EQ(recording.Names(), (Names{"ShowNotice", "initFinish"}));
    ASSERT_EQ(recording.calls[0].args.size(), 1u);
    EXPECT_NE(recording.calls[0].args[0].find(aside[0]), std::string::npos)
        << recording.calls[0].args[0];
  }
  // A page without the function only loses the notice.
  RecordingWebPage web;
  web.script.missing = {"ShowNotice"};
  ShowMyShowsCommand(web.page);
  EXPECT_EQ(web.script.Names(), Names{"initFinish"});
  EXPECT_EQ(web.page.lastError().rfind("JSCall Error:\n", 0), 0u);
  // Once something is followed again the list speaks for itself.
  AddToFavsCommand(recording, details);
  recording.calls.clear();
  ShowMyShowsCommand(recording);
  EXPECT_EQ(recording.Names(), (Names{"PopulateMyShowsTable", "initFinish"}));
}

}  // namespace
}  // namespace quorvel::test
