#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "schedule/DataFiles.h"
#include "schedule/ShowViews.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class ScheduleViewsTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    folder = GetDataFolder();
    Freeze();
  }
  void TearDown() override {
    clock.reset();
    SandboxedTest::TearDown();
  }

  // Now at the given hour of today, or at the current moment.
  void Freeze(std::optional<int> hour = std::nullopt) {
    clock.reset();
    clock = std::make_unique<FrozenClock>();
    if (hour) {
      const int64_t midnight = *ParseAirDate(DaysFromToday(0));
      clock.reset();
      clock = std::make_unique<FrozenClock>(midnight + *hour * 3600);
    }
  }
  void Follow(const std::vector<SeriesFixture>& all) {
    std::vector<FavoriteShow> entries;
    for (const auto& series : all) entries.push_back(StoreSeries(folder, series));
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  // The episode ids of the rows sent through one page function, in order.
  std::vector<std::string> EpisodeIds(const std::string& function) const {
    std::vector<std::string> ids;
    for (const auto& call : recording.calls) {
      if (call.name == function) ids.push_back(call.args.at(10));
    }
    return ids;
  }
  std::string LastCallName() const {
    return recording.calls.empty() ? "" : recording.calls.back().name;
  }
  std::vector<std::string> NextIds() {
    recording.calls.clear();
    ShowNextShowsCommand(recording);
    EXPECT_EQ(LastCallName(), "initFinish");
    return EpisodeIds("PopulateNextShows");
  }
  std::vector<std::string> RecentIds() {
    recording.calls.clear();
    ShowRecentShowsCommand(recording);
    EXPECT_EQ(LastCallName(), "initFinish");
    return EpisodeIds("PopulateRecentShows");
  }

  std::unique_ptr<FrozenClock> clock;
  std::string folder;
  RecordingPage recording;
};

EpisodeFixture Dated(const std::string& id, int days) {
  return {.id = id, .FirstAired = DaysFromToday(days)};
}

// ---- My Shows

TEST_F(ScheduleViewsTest, MyShowsSendsOneRowPerFollowedSeriesInFileOrder) {
  Follow(
      {{.id = "3", .SeriesName = "Three", .Network = "HBO", .Genre = "|Drama|", .poster = "p3.jpg"},
       {.id = "1", .SeriesName = "One", .banner = "b1.jpg", .fanart = "f1.jpg"},
       {.id = "2", .SeriesName = "Two", .banner = "b2.jpg"},
       {.id = "4", .SeriesName = "Four"}});
  ShowMyShowsCommand(recording);
  const std::vector<PageCall> expected = {
      {"PopulateMyShowsTable", {"Three", "3", "HBO", "|Drama|", "http://tvdb.test/banners/p3.jpg"}},
      {"PopulateMyShowsTable", {"One", "1", "", "", "http://tvdb.test/banners/f1.jpg"}},
      {"PopulateMyShowsTable", {"Two", "2", "", "", "http://tvdb.test/banners/b2.jpg"}},
      {"PopulateMyShowsTable", {"Four", "4", "", "", ""}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
}

// Rows read ahead while the window opens are sent only while every file they came from is the
// one that was read; any change made meanwhile is read afresh.
TEST_F(ScheduleViewsTest, MyShowsReadAheadIsUsedOnlyWhileItsFilesAreUnchanged) {
  const SeriesFixture one{.id = "1", .SeriesName = "One"};
  const SeriesFixture two{.id = "2", .SeriesName = "Two"};
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"nothing", [] {}},
      {"series file replaced", [&] { StoreSeries(folder, {.id = "2", .SeriesName = "Second"}); }},
      {"series file written in place",
       [&] {
         std::string bytes = ReadFile(folder + "2.xml");
         bytes.replace(bytes.find("Two"), 3, "Tw0");
         WriteFile(folder + "2.xml", bytes);
       }},
      {"series file deleted", [&] { std::filesystem::remove(folder + "1.xml"); }},
      {"another followed",
       [&] {
         Follow({one, two, {.id = "3", .SeriesName = "Three"}});
       }},
      {"unfollowed", [&] { Follow({two}); }},
  };
  for (const auto& [change, make] : changes) {
    Follow({one, two});
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // files older than a clock tick
    const std::optional<MyShowsRows> ahead = MyShowsRows::Read();
    make();
    RecordingPage fresh;
    ShowMyShowsCommand(fresh);
    recording.calls.clear();
    ShowMyShowsCommand(recording, ahead);
    EXPECT_EQ(recording.calls, fresh.calls) << change;
    EXPECT_EQ(ahead->StillCurrent(), std::string(change) == "nothing") << change;
  }
  Follow({one, two});
  EXPECT_FALSE(MyShowsRows::Read().StillCurrent()) << "files changed within a clock tick";
}

TEST_F(ScheduleViewsTest, MyShowsTakesTheIdFromTheSeriesFileAndSkipsMissingFiles) {
  FavoriteShow renamed = StoreSeries(folder, {.id = "99", .SeriesName = "Renamed"});
  renamed.seriesid = "5";
  const FavoriteShow gone = {.seriesid = "6", .DateAdded = "", .PathToDetails = folder + "6.xml"};
  WriteFile(folder + "7.xml", "<Data><Episode/></Data>");
  const FavoriteShow empty = {.seriesid = "7", .DateAdded = "", .PathToDetails = folder + "7.xml"};
  WriteFile(GetFavoritesPath(), FavoritesDocument({renamed, gone, empty, renamed}));

  ShowMyShowsCommand(recording);
  const std::vector<PageCall> expected = {
      {"PopulateMyShowsTable", {"Renamed", "99", "", "", ""}},
      {"PopulateMyShowsTable", {"", "", "", "", ""}},
      {"PopulateMyShowsTable", {"Renamed", "99", "", "", ""}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
}

TEST_F(ScheduleViewsTest, EveryViewAnswersOnlyInitFinishWithoutFavorites) {
  ShowMyShowsCommand(recording);
  ShowNextShowsCommand(recording);
  ShowRecentShowsCommand(recording);
  WriteFile(GetFavoritesPath(), FavoritesDocument({}));
  ShowMyShowsCommand(recording);
  WriteFile(GetFavoritesPath(), "not xml at all");
  ShowNextShowsCommand(recording);
  EXPECT_EQ(recording.Names(), Names(5, "initFinish"));
}

// ---- Next and recent

TEST_F(ScheduleViewsTest, NextAndRecentRowsCarryTwelveArgumentsInOrder) {
  Follow({{.id = "73",
           .SeriesName = "Lost",
           .IMDB_ID = "tt0411008",
           .banner = "graphical/73.jpg",
           .episodes = {{.id = "e1",
                         .FirstAired = DaysFromToday(-1),
                         .SeasonNumber = "2",
                         .EpisodeNumber = "7",
                         .EpisodeName = "The Other 48 Days",
                         .filename = "episodes/e1.jpg",
                         .Overview = "Tail section.",
                         .IMDB_ID = "tt0636289"},
                        {.id = "e2", .FirstAired = DaysFromToday(3), .EpisodeName = "Later"}}}});
  ShowRecentShowsCommand(recording);
  ShowNextShowsCommand(recording);
  const std::vector<PageCall> expected = {
      {"PopulateRecentShows",
       {"Lost", "2", "7", "The Other 48 Days", DaysFromToday(-1), "0",
        "http://tvdb.test/banners/episodes/e1.jpg", "Tail section.", "73", "tt0411008", "e1",
        "tt0636289"}},
      {"initFinish", {}},
      {"PopulateNextShows",
       {"Lost", "1", "1", "Later", DaysFromToday(3), "0",
        "http://tvdb.test/banners/graphical/73.jpg", "", "73", "tt0411008", "e2", ""}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
}

TEST_F(ScheduleViewsTest, AnEpisodeDatedTodayIsRecentNotNext) {
  Follow({{.id = "1", .episodes = {Dated("yesterday", -1), Dated("today", 0), Dated("in5", 5)}}});
  for (int hour : {0, 15}) {
    Freeze(hour);  // at midnight now equals today's air date exactly
    EXPECT_EQ(NextIds(), Names{"in5"}) << hour;
    EXPECT_EQ(RecentIds(), Names{"today"}) << hour;
  }
}

TEST_F(ScheduleViewsTest, NextKeepsTheFirstAndRecentTheLastOfEqualDates) {
  Follow({{.id = "1",
           .episodes = {Dated("past-a", -2), Dated("future-a", 4), Dated("past-b", -2),
                        Dated("future-b", 4), Dated("far", 9), Dated("old", -8)}}});
  EXPECT_EQ(NextIds(), Names{"future-a"});
  EXPECT_EQ(RecentIds(), Names{"past-b"});
}

TEST_F(ScheduleViewsTest, SeriesWithoutAFittingEpisodeGetNoRow) {
  Follow({{.id = "1", .episodes = {Dated("past", -3)}},
          {.id = "2", .episodes = {Dated("future", 3)}},
          {.id = "3", .episodes = {{.id = "undated", .FirstAired = ""}}},
          {.id = "4"},
          {.id = "5",
           .episodes = {{.id = "far-future", .FirstAired = "2999-12-31"},
                        {.id = "beyond", .FirstAired = "3000-06-01"}}}});
  EXPECT_EQ(NextIds(), Names{"future"});
  EXPECT_EQ(RecentIds(), Names{"past"});
}

TEST_F(ScheduleViewsTest, RowsFollowFavoritesOrderNotDates) {
  Follow({{.id = "1", .episodes = {Dated("c", 9), Dated("c-", -9)}},
          {.id = "2", .episodes = {Dated("a", 1), Dated("a-", -1)}},
          {.id = "3", .episodes = {Dated("b", 5), Dated("b-", -5)}}});
  EXPECT_EQ(NextIds(), (Names{"c", "a", "b"}));
  EXPECT_EQ(RecentIds(), (Names{"c-", "a-", "b-"}));
}

TEST_F(ScheduleViewsTest, UnconvertibleDatesAreSkippedAndLaterSeriesStillGetRows) {
  Follow({{.id = "1", .episodes = {{.id = "sixties", .FirstAired = "1965-04-01"}}},
          {.id = "2",
           .episodes = {{.id = "bad-month", .FirstAired = "2012-13-01"},
                        Dated("ok-past", -1),
                        {.id = "year-zero", .FirstAired = "0000-00-00"},
                        Dated("ok-future", 2)}},
          {.id = "3", .episodes = {Dated("later-past", -4), Dated("later-future", 6)}}});
  EXPECT_EQ(NextIds(), (Names{"ok-future", "later-future"}));
  EXPECT_EQ(RecentIds(), (Names{"ok-past", "later-past"}));
}

TEST_F(ScheduleViewsTest, TodayIsRecentAndTomorrowNextInEveryZone) {
  // Tonga was UTC+13 in 1970: there noon of 1970-01-01 lies before the epoch, yet recent works.
  for (const char* zone :
       {"UTC", "America/New_York", "Pacific/Pago_Pago", "Asia/Tokyo", "Pacific/Tongatapu"}) {
    SetTimeZone(zone);
    for (int hour : {0, 23}) {
      Freeze(hour);
      Follow({{.id = "1",
               .episodes = {Dated("yesterday", -1), Dated("today", 0), Dated("tomorrow", 1)}}});
      EXPECT_EQ(NextIds(), Names{"tomorrow"}) << zone << " " << hour;
      EXPECT_EQ(RecentIds(), Names{"today"}) << zone << " " << hour;
    }
  }
}

TEST_F(ScheduleViewsTest, DaylightSavingChangeDaysKeepTheirMidnight) {
  SetTimeZone("Europe/Berlin");
  const struct {
    int month, day;
    std::string before, on, after;
  } rows[] = {{3, 31, "2024-03-30", "2024-03-31", "2024-04-01"},
              {10, 27, "2024-10-26", "2024-10-27", "2024-10-28"}};
  for (const auto& row : rows) {
    for (int hour : {0, 23}) {
      clock.reset();
      clock = std::make_unique<FrozenClock>(*LocalTimeValue(2024, row.month, row.day, hour));
      Follow({{.id = "1",
               .episodes = {{.id = "before", .FirstAired = row.before},
                            {.id = "on", .FirstAired = row.on},
                            {.id = "after", .FirstAired = row.after}}}});
      EXPECT_EQ(NextIds(), Names{"after"}) << row.on << " " << hour;
      EXPECT_EQ(RecentIds(), Names{"on"}) << row.on << " " << hour;
    }
  }
}

TEST_F(ScheduleViewsTest, HostileFieldTextsReachThePageAsText) {
  const std::string name = "<img src=x onerror=alert(1)>";
  const std::string title = "\");window.external.RemoveShow(1);(\"";
  const std::string overview = "line\nbreak & \"quotes\" 'single' \\ \xE2\x80\xAE";
  Follow({{.id = "1",
           .SeriesName = name,
           .episodes = {{.id = "x",
                         .FirstAired = DaysFromToday(1),
                         .EpisodeName = title,
                         .Overview = overview}}}});
  ShowNextShowsCommand(recording);
  ASSERT_EQ(recording.calls.size(), 2u);
  EXPECT_EQ(recording.calls[0].args[0], name);
  EXPECT_EQ(recording.calls[0].args[3], title);
  EXPECT_EQ(recording.calls[0].args[7], overview);
}

}  // namespace
}  // namespace quorvel::test
