// When the running agent checks again: the next local midnight from the calendar, and the
// schedule's reasons (midnight, clock jump, zone change, fallback).

#include <gtest/gtest.h>

#include <ctime>

#include "core/AirDate.h"
#include "schedule/CheckSchedule.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

class CheckScheduleTest : public test::SandboxedTest {
 protected:
  static std::tm Local(int64_t t) {
    const std::time_t value = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&value, &tm);
    return tm;
  }
  static int64_t LocalAt(int year, int month, int day, int hour, int minute = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
  }
};

// The day that starts at the next midnight, and how long the day before it lasts.
struct MidnightCase {
  const char* zone;
  int year, month, day;  // a day; the check starts from its 12:00
  double hours;          // that day's length
};

TEST_F(CheckScheduleTest, NextMidnightIsTheStartOfTheNextLocalDayAcrossDaylightSaving) {
  const MidnightCase cases[] = {
      {"Europe/Berlin", 2026, 3, 29, 23},          // clocks forward at 02:00
      {"Europe/Berlin", 2026, 10, 25, 25},         // back at 03:00
      {"Europe/Berlin", 2026, 7, 1, 24},           //
      {"America/New_York", 2026, 3, 8, 23},        // forward at 02:00
      {"America/New_York", 2026, 11, 1, 25},       // back at 02:00
      {"Australia/Lord_Howe", 2026, 4, 5, 24.5},   // half an hour back at 02:00
      {"Australia/Lord_Howe", 2026, 10, 4, 23.5},  // half an hour forward at 02:00
      {"UTC", 2026, 12, 31, 24},                   // into a new year
  };
  for (const MidnightCase& c : cases) {
    SetTimeZone(c.zone);
    const int64_t noon = LocalAt(c.year, c.month, c.day, 12);
    const std::optional<int64_t> next = NextLocalMidnight(noon);
    ASSERT_TRUE(next) << c.zone;
    const std::tm at = Local(*next);
    EXPECT_EQ(at.tm_hour * 3600 + at.tm_min * 60 + at.tm_sec, 0) << c.zone << " " << c.month;
    EXPECT_EQ(Local(*next - 1).tm_mday, c.day) << c.zone << " " << c.month;
    const int64_t start = LocalAt(c.year, c.month, c.day, 0);
    EXPECT_DOUBLE_EQ((*next - start) / 3600.0, c.hours) << c.zone << " " << c.month;
    // From the last second of the day, and from midnight itself, the same or the following one.
    EXPECT_EQ(NextLocalMidnight(*next - 1), next) << c.zone;
    EXPECT_GT(*NextLocalMidnight(*next), *next) << c.zone;
  }
}

TEST_F(CheckScheduleTest, AZoneThatSkipsMidnightGivesTheFirstMomentOfTheDay) {
  // Chile moves its clocks from 24:00 to 01:00 on the first Sunday of September.
  SetTimeZone("America/Santiago");
  const int64_t saturdayNoon = LocalAt(2026, 9, 5, 12);
  const std::optional<int64_t> next = NextLocalMidnight(saturdayNoon);
  ASSERT_TRUE(next);
  EXPECT_EQ(Local(*next).tm_mday, 6);
  EXPECT_EQ(Local(*next - 1).tm_mday, 5);
  EXPECT_EQ(*next - saturdayNoon, 12 * 3600);
}

TEST_F(CheckScheduleTest, AChangeOfZoneMovesTheNextMidnightAndIsSeen) {
  SetTimeZone("Europe/Berlin");
  const int64_t t = LocalAt(2026, 12, 9, 20);
  CheckSchedule schedule(t, 1000);
  const int64_t berlin = *schedule.nextMidnight();
  EXPECT_FALSE(schedule.Look(t + 60, 1060));
  SetTimeZone("Asia/Tokyo");  // 20:00 in Berlin is 04:00 the next day in Tokyo
  EXPECT_EQ(schedule.Look(t + 120, 1120), CheckReason::ZoneChange);
  schedule.Rearm(t + 120, 1120);
  EXPECT_EQ(Local(*schedule.nextMidnight()).tm_hour, 0);
  EXPECT_EQ(*schedule.nextMidnight() - berlin, 16 * 3600);
  EXPECT_FALSE(schedule.Look(t + 180, 1180));
}

TEST_F(CheckScheduleTest, ReasonsToCheck) {
  SetTimeZone("America/New_York");
  const int64_t evening = LocalAt(2026, 12, 9, 23, 58);
  const int64_t midnight = LocalAt(2026, 12, 10, 0);
  struct Step {
    int64_t wall, monotonic;
    std::optional<CheckReason> reason;
    const char* what;
  };
  const Step steps[] = {
      {evening + 60, 1060, std::nullopt, "a minute on"},
      {midnight, 1120, CheckReason::Midnight, "midnight reached"},
      {midnight + 60, 1180, CheckReason::Midnight, "still due until re-armed"},
  };
  CheckSchedule schedule(evening, 1000);
  EXPECT_EQ(schedule.SecondsUntilNext(evening, 1000), 121);
  for (const Step& step : steps) {
    EXPECT_EQ(schedule.Look(step.wall, step.monotonic), step.reason) << step.what;
  }
  schedule.Rearm(midnight + 60, 1180);
  EXPECT_EQ(schedule.nextMidnight(), LocalAt(2026, 12, 11, 0));

  // A wake: three hours of wall clock while the monotonic clock stood still.
  EXPECT_EQ(schedule.Look(midnight + 3 * 3600, 1240), CheckReason::ClockJump);
  EXPECT_FALSE(schedule.Look(midnight + 3 * 3600 + 60, 1300)) << "a jump is reported once";
  // The clock set back by a day: a jump, and after the check midnight is the earlier one.
  EXPECT_EQ(schedule.Look(midnight - 86400 + 3 * 3600 + 120, 1360), CheckReason::ClockJump);
  schedule.Rearm(midnight - 86400 + 3 * 3600 + 120, 1360);
  EXPECT_EQ(schedule.nextMidnight(), midnight);
  // Six hours of monotonic time without anything else.
  const int64_t wall = midnight - 86400 + 3 * 3600 + 120;
  EXPECT_FALSE(schedule.Look(wall + 3600, 1360 + 3600));
  EXPECT_EQ(schedule.SecondsUntilNext(wall + 3600, 1360 + 3600), 5 * 3600);
  EXPECT_EQ(schedule.Look(wall + 6 * 3600, 1360 + 6 * 3600), CheckReason::Fallback);
}

}  // namespace
}  // namespace quorvel
