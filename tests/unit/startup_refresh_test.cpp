#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "core/FileStamp.h"
#include "core/XdgDirs.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/StartupRefresh.h"
#include "shows/SeriesRecord.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class StartupRefreshTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    folder = GetDataFolder();
    const int64_t midnight = *ParseAirDate(FormatLocalDate(Now()));
    clock = std::make_unique<FrozenClock>(midnight + 10 * 3600);
  }
  void TearDown() override {
    clock.reset();
    SandboxedTest::TearDown();
  }

  // A followed series stored long ago as "Stale", whose server now answers "Fresh".
  FavoriteShow Followed(const std::string& id, const std::string& dateAdded,
                        std::vector<EpisodeFixture> episodes = {}) {
    const FavoriteShow entry =
        StoreSeries(folder, {.id = id, .SeriesName = "Stale", .episodes = episodes}, dateAdded);
    Serve(id, {.id = id, .SeriesName = "Fresh", .episodes = episodes});
    return entry;
  }
  void Serve(const std::string& id, const SeriesFixture& answer) {
    fetcher.bodies[GetSeriesRecordUrl(id)] = SeriesDocument(answer);
  }
  void WriteFavorites(const std::vector<FavoriteShow>& entries) {
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  std::string StoredName(const std::string& id) const {
    SeriesRecord record;
    record.ReadSeriesDocument(folder + id + ".xml");
    return record.SeriesName;
  }
  std::vector<std::string> StoredDates() const {
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    std::vector<std::string> dates;
    for (const auto& f : list) dates.push_back(f.DateAdded);
    return dates;
  }
  std::vector<std::string> RequestedIds() const {
    std::vector<std::string> ids;
    for (const auto& url : fetcher.requests) {
      for (const auto& [id, body] : servedIds_) {
        if (url == GetSeriesRecordUrl(id)) ids.push_back(id);
      }
    }
    return ids;
  }

  std::unique_ptr<FrozenClock> clock;
  std::string folder;
  FakeFetcher fetcher;

 private:
  std::map<std::string, int> servedIds_ = {{"1", 0}, {"2", 0}, {"3", 0}, {"4", 0}, {"5", 0}};
};

TEST_F(StartupRefreshTest, OnlySeriesOlderThanAWeekOrWithoutAFileAreDownloaded) {
  const FavoriteShow sixDays = Followed("1", DaysFromToday(-6));
  const FavoriteShow eightDays = Followed("2", DaysFromToday(-8));
  const FavoriteShow deleted = Followed("3", DaysFromToday(0));
  std::filesystem::remove(deleted.PathToDetails);
  const FavoriteShow undated = Followed("4", "not a date");
  WriteFavorites({sixDays, eightDays, deleted, undated});

  EXPECT_EQ(RefreshFollowedShows(), 0);
  EXPECT_EQ(RequestedIds(), (Names{"2", "3", "4"}));
  EXPECT_EQ(StoredName("1"), "Stale");
  EXPECT_EQ(StoredName("2"), "Fresh");
  EXPECT_EQ(StoredName("3"), "Fresh");
  EXPECT_EQ(StoredName("4"), "Fresh");
  const std::string today = DaysFromToday(0);
  EXPECT_EQ(StoredDates(), (Names{DaysFromToday(-6), today, today, today}));

  fetcher.requests.clear();
  EXPECT_EQ(RefreshFollowedShows(), 0);
  EXPECT_TRUE(fetcher.requests.empty());
}

// A damaged file holds nothing to show: it is due as a missing one is, whatever its date.
TEST_F(StartupRefreshTest, DamagedSeriesFilesAreDownloadedAgainAtOnce) {
  const std::vector<std::pair<std::string, std::string>> damage = {
      {"1", "<Data><Series><id>1</id><SeriesName>Stale"},  // cut short
      {"2", ""},
      {"3", "not xml at all"},
      {"4", "<Data></Data>"},  // well-formed, but no series in it
  };
  std::vector<FavoriteShow> entries;
  for (const auto& [id, bytes] : damage) {
    entries.push_back(Followed(id, DaysFromToday(0)));
    WriteFile(entries.back().PathToDetails, bytes);
  }
  entries.push_back(Followed("5", DaysFromToday(0)));
  WriteFavorites(entries);
  for (const FavoriteShow& entry : entries) {
    EXPECT_EQ(IsRefreshDue(entry), entry.seriesid != "5") << entry.seriesid;
  }
  RefreshFollowedShows();
  EXPECT_EQ(RequestedIds(), (Names{"1", "2", "3", "4"}));
  for (const char* id : {"1", "2", "3", "4"}) EXPECT_EQ(StoredName(id), "Fresh") << id;
  EXPECT_EQ(StoredName("5"), "Stale");
}

TEST_F(StartupRefreshTest, AFolderInPlaceOfASeriesFileIsReportedOnceAndLeftAlone) {
  const FavoriteShow entry = Followed("1", DaysFromToday(-30));
  std::filesystem::remove(entry.PathToDetails);
  std::filesystem::create_directory(entry.PathToDetails);
  WriteFile(entry.PathToDetails + "/mine", "kept");
  WriteFavorites({entry});
  testing::internal::CaptureStderr();
  RefreshFollowedShows();
  RefreshFollowedShows();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fetcher.requests.empty());
  EXPECT_EQ(ReadFile(entry.PathToDetails + "/mine"), "kept");
  EXPECT_EQ(StoredDates(), Names{DaysFromToday(-30)});
  const std::size_t first = said.find(entry.PathToDetails);
  ASSERT_NE(first, std::string::npos) << said;
  EXPECT_EQ(said.find(entry.PathToDetails, first + 1), std::string::npos) << "said once: " << said;
}

TEST_F(StartupRefreshTest, DeadServerLeavesFilesAndDatesAlone) {
  const FavoriteShow old = Followed("1", "2001-01-01");
  const FavoriteShow deleted = Followed("2", "2001-01-01");
  std::filesystem::remove(deleted.PathToDetails);
  WriteFavorites({old, deleted});
  fetcher.bodies.clear();
  const std::string before = ReadFile(GetFavoritesPath());
  const std::string oldFile = ReadFile(old.PathToDetails);

  RefreshFollowedShows();
  EXPECT_EQ(RequestedIds(), (Names{"1", "2"}));
  EXPECT_EQ(ReadFile(GetFavoritesPath()), before);
  EXPECT_EQ(ReadFile(old.PathToDetails), oldFile);
  EXPECT_FALSE(FileExists(deleted.PathToDetails));
  EXPECT_FALSE(FileExists(folder + ".xml"));
}

TEST_F(StartupRefreshTest, DownloadWithoutASeriesWritesNothing) {
  const FavoriteShow noSeries = Followed("1", "2001-01-01");
  fetcher.bodies[GetSeriesRecordUrl("1")] = "<Data><Episode><id>9</id></Episode></Data>";
  const FavoriteShow emptyId = Followed("2", "2001-01-01");
  Serve("2", {.id = "", .SeriesName = "No id"});
  const FavoriteShow oddId = Followed("3", "2001-01-01");
  Serve("3", {.id = "../3", .SeriesName = "Odd id"});
  WriteFavorites({noSeries, emptyId, oddId});
  const std::string before = ReadFile(GetFavoritesPath());

  RefreshFollowedShows();
  EXPECT_EQ(ReadFile(GetFavoritesPath()), before);
  for (const std::string id : {"1", "2", "3"}) EXPECT_EQ(StoredName(id), "Stale");
  EXPECT_FALSE(FileExists(folder + ".xml"));
  EXPECT_FALSE(FileExists(root() + "/data/3.xml"));
}

TEST_F(StartupRefreshTest, FavoriteWithoutAPlainIdIsNeverRequested) {
  WriteFavorites(
      {{.seriesid = "../1", .DateAdded = "2001-01-01", .PathToDetails = folder + "x.xml"},
       {.seriesid = "", .DateAdded = "", .PathToDetails = ""}});
  const std::string before = ReadFile(GetFavoritesPath());
  EXPECT_EQ(RefreshFollowedShows(), 0);
  EXPECT_TRUE(fetcher.requests.empty());
  EXPECT_EQ(ReadFile(GetFavoritesPath()), before);
}

TEST_F(StartupRefreshTest, CountsFollowedEpisodesDatedToday) {
  const struct {
    std::vector<int> days;
    int count;
  } rows[] = {
      {{0}, 1}, {{1}, 0}, {{-2}, 0}, {{0, 0, -1, 1}, 2}, {{}, 0},
  };
  for (const auto& row : rows) {
    std::vector<EpisodeFixture> episodes;
    for (int days : row.days) episodes.push_back({.id = "e", .FirstAired = DaysFromToday(days)});
    WriteFavorites({Followed("1", DaysFromToday(0), episodes)});
    EXPECT_EQ(RefreshFollowedShows(), row.count) << row.days.size();
  }
  EXPECT_TRUE(fetcher.requests.empty());
}

TEST_F(StartupRefreshTest, CountIsSummedOverSeriesAndSkipsUnconvertibleDates) {
  const std::vector<EpisodeFixture> mixed = {{.id = "a", .FirstAired = "1965-04-01"},
                                             {.id = "b", .FirstAired = DaysFromToday(0)},
                                             {.id = "c", .FirstAired = "2012-13-45"}};
  const FavoriteShow first = Followed("1", DaysFromToday(0), mixed);
  const FavoriteShow second =
      Followed("2", DaysFromToday(0), {{.id = "d", .FirstAired = DaysFromToday(0)}});
  WriteFavorites({first, second, second});
  EXPECT_EQ(RefreshFollowedShows(), 3);
}

// Enough series that the files are read on several threads: each verdict and count still
// belongs to its own series, and the due ones are downloaded once each, in the list's order.
TEST_F(StartupRefreshTest, ALongListIsReadOnceAndEachSeriesKeepsItsOwnVerdict) {
  std::vector<FavoriteShow> entries;
  Names due;
  int expected = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string id = std::to_string(100 + i);
    const std::vector<EpisodeFixture> today(i % 3, {.id = "e", .FirstAired = DaysFromToday(0)});
    const bool stale = i % 5 == 0;
    entries.push_back(Followed(id, DaysFromToday(stale ? -8 : -1), today));
    if (i % 7 == 3) WriteFile(entries.back().PathToDetails, "<Data><Series>");  // damaged
    if (stale || i % 7 == 3) due.push_back(id);
    expected += i % 3;
  }
  WriteFavorites(entries);
  EXPECT_EQ(RefreshFollowedShows(), expected);
  Names requested;
  for (const std::string& url : fetcher.requests) {
    for (const FavoriteShow& entry : entries) {
      if (url == GetSeriesRecordUrl(entry.seriesid)) requested.push_back(entry.seriesid);
    }
  }
  EXPECT_EQ(requested, due);
  for (const std::string& id : due) EXPECT_EQ(StoredName(id), "Fresh") << id;
}

// A start reads what earlier starts read of unchanged series files from the cache: an entry
// serves only while its file keeps its stamp, and a damaged cache is only read again.
TEST_F(StartupRefreshTest, TheDatesCacheServesOnlyUnchangedFiles) {
  const std::vector<EpisodeFixture> today = {{.id = "t", .FirstAired = DaysFromToday(0)}};
  const FavoriteShow one = Followed("1", DaysFromToday(0), today);
  const FavoriteShow two = Followed("2", DaysFromToday(0));
  WriteFavorites({one, two});
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // older than a clock tick
  EXPECT_EQ(RefreshFollowedShows(), 1);
  const std::string cachePath = UserCacheDir() + "/quorvel/series-dates";
  std::string cache = ReadFile(cachePath);
  ASSERT_NE(cache.find(two.PathToDetails + "\t"), std::string::npos) << cache;

  // The cache is what the start reads: an entry claiming a date today for two is believed.
  const std::size_t line = cache.find(two.PathToDetails + "\t");
  const std::size_t end = cache.find('\n', line);
  WriteFile(cachePath, cache.substr(0, end) + DaysFromToday(0) + cache.substr(end));
  EXPECT_EQ(RefreshFollowedShows(), 2);

  // Until the file changes: a new file is read, whatever the cache says.
  StoreSeries(folder, {.id = "2", .SeriesName = "Stale"}, DaysFromToday(0));
  EXPECT_EQ(RefreshFollowedShows(), 1);
  for (const char* damaged : {"", "garbage\n", "quorvel series dates 1\n\t\t\n"}) {
    WriteFile(cachePath, damaged);
    EXPECT_EQ(RefreshFollowedShows(), 1) << damaged;
  }
  EXPECT_TRUE(fetcher.requests.empty());
}

// A series file's texts never become lines of the cache: a FirstAired that spells out a forged
// entry for another file (with that file's real stamp) is read, not stored.
TEST_F(StartupRefreshTest, HostileTextsAreNeverWrittenIntoTheDatesCache) {
  const FavoriteShow plain = Followed("2", DaysFromToday(0));
  const FileStamp stamp = StampOfFile(plain.PathToDetails);
  const std::string forged =
      "1999\n" + plain.PathToDetails + "\t" + std::to_string(stamp.device) + "\t" +
      std::to_string(stamp.inode) + "\t" + std::to_string(stamp.size) + "\t" +
      std::to_string(stamp.modified) + "\t" + std::to_string(stamp.changed) + "\t" +
      std::to_string(WallClockNs() + 1'000'000'000LL) + "\t1\t" + DaysFromToday(0);
  const FavoriteShow hostile = Followed("1", DaysFromToday(0), {{.id = "h", .FirstAired = forged}});
  WriteFavorites({hostile, plain});
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  for (int start = 0; start < 2; ++start) EXPECT_EQ(RefreshFollowedShows(), 0) << start;
  EXPECT_EQ(ReadFile(UserCacheDir() + "/quorvel/series-dates").find("1999"), std::string::npos);
}

TEST_F(StartupRefreshTest, NoFavoritesMeansNoDownload) {
  EXPECT_EQ(RefreshFollowedShows(), 0);
  WriteFavorites({});
  EXPECT_EQ(RefreshFollowedShows(), 0);
  WriteFile(GetFavoritesPath(), "<<<");
  EXPECT_EQ(RefreshFollowedShows(), 0);
  EXPECT_EQ(ReadFile(GetFavoritesPath()), "<<<");
  EXPECT_TRUE(fetcher.requests.empty());
}

}  // namespace
}  // namespace quorvel::test
