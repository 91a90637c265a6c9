#include "core/AirDate.h"

#include <gtest/gtest.h>

#include <ctime>
#include <iterator>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

constexpr int64_t kHour = 3600;

// UTC midnights of the dates the table uses; each zone's value is its offset away from these.
constexpr int64_t k2012_05_03 = 1336003200;
constexpr int64_t k2012_03_01 = 1330560000;
constexpr int64_t k2012_03_02 = k2012_03_01 + kOneDay;
constexpr int64_t k2012_01_01 = 1325376000;
constexpr int64_t k3000_12_31 = 32535129600;

struct Zone {
  const char* name;
  int64_t mayOffset;    // seconds east of UTC on 3 May 2012
  int64_t marchOffset;  // on 1 March 2012
  int64_t januaryOffset;
};

constexpr Zone kZones[] = {
    {"UTC", 0, 0, 0},
    {"America/New_York", -4 * kHour, -5 * kHour, -5 * kHour},
    {"Asia/Tokyo", 9 * kHour, 9 * kHour, 9 * kHour},
    {"Europe/Berlin", 2 * kHour, 1 * kHour, 1 * kHour},
};

class AirDateTest : public test::SandboxedTest {};

TEST_F(AirDateTest, DatesBecomeTheLocalMidnightThatStartsThem) {
  for (const Zone& zone : kZones) {
    SetTimeZone(zone.name);
    SCOPED_TRACE(zone.name);
    const int64_t may3 = k2012_05_03 - zone.mayOffset;
    const int64_t march1 = k2012_03_01 - zone.marchOffset;
    const struct {
      const char* text;
      int64_t value;
    } rows[] = {
        {"2012-05-03", may3},
        {"2012-5-3", may3},
        {"2012- 5- 3", may3},
        {"+2012-+05-+03", may3},
        {"2012-05-03 20:15:00", may3},
        {"2012-05-03T23:59:59Z", may3},
        {"2012-05-03-99", may3},
        {"2012-02-30", march1},
        {"2012-02-31", k2012_03_02 - zone.marchOffset},
        {"2012-03", march1},
        {"2012", k2012_01_01 - zone.januaryOffset},
        {"2012 -05-03", k2012_01_01 - zone.januaryOffset},  // "-" must follow the number
        {"3000-12-31", k3000_12_31 - zone.januaryOffset},
    };
    for (const auto& row : rows) {
      const std::optional<int64_t> value = ParseAirDate(row.text);
      ASSERT_TRUE(value.has_value()) << row.text;
      EXPECT_EQ(*value, row.value) << row.text;
    }
  }
}

TEST_F(AirDateTest, DatesOutsideTheRangesFail) {
  for (const Zone& zone : kZones) {
    SetTimeZone(zone.name);
    for (const char* text : {"0000-00-00", "1899-12-31", "-1-1-1", "2012-13-01", "2012-00-10",
                             "2012-04-32", "2012-04-0", "2012--4-01", "1965-04-01", "1969-12-30",
                             "3001-01-02", "99999-01-01", "2147483648-01-01"}) {
      EXPECT_FALSE(ParseAirDate(text).has_value()) << zone.name << " " << text;
    }
  }
}

TEST_F(AirDateTest, TheFirstDayOf1970DependsOnTheZone) {
  const struct {
    const char* zone;
    std::optional<int64_t> value;
  } rows[] = {
      {"UTC", 0},
      {"America/New_York", 5 * kHour},
      {"Asia/Tokyo", std::nullopt},
      {"Europe/Berlin", std::nullopt},
  };
  for (const auto& row : rows) {
    SetTimeZone(row.zone);
    for (const char* text : {"1970-01-01", "", "abc", "-", "x2012-05-03"}) {
      EXPECT_EQ(ParseAirDate(text), row.value) << row.zone << " \"" << text << '"';
    }
  }
}

TEST_F(AirDateTest, TheFirstDayOf3001DependsOnTheZone) {
  const struct {
    const char* zone;
    bool accepted;  // its local midnight lies before 3000-12-31 23:59:59 UTC
  } rows[] = {
      {"UTC", false}, {"America/New_York", false}, {"Asia/Tokyo", true}, {"Europe/Berlin", true}};
  for (const auto& row : rows) {
    SetTimeZone(row.zone);
    EXPECT_EQ(ParseAirDate("3001-01-01").has_value(), row.accepted) << row.zone;
  }
}

TEST_F(AirDateTest, ADaylightSavingChangeDayStillStartsAtMidnight) {
  SetTimeZone("America/New_York");  // clocks went forward at 2:00 on 11 March 2012
  const auto before = ParseAirDate("2012-03-11");
  const auto after = ParseAirDate("2012-03-12");
  ASSERT_TRUE(before && after);
  EXPECT_EQ(*before, 1331424000 + 5 * kHour);
  EXPECT_EQ(*after - *before, 23 * kHour);
  EXPECT_EQ(FormatLocalDate(*before), "2012-03-11");

  SetTimeZone("Europe/Berlin");  // clocks went back at 3:00 on 28 October 2012
  const auto longDay = ParseAirDate("2012-10-28");
  const auto next = ParseAirDate("2012-10-29");
  ASSERT_TRUE(longDay && next);
  EXPECT_EQ(*longDay, 1351382400 - 2 * kHour);
  EXPECT_EQ(*next - *longDay, 25 * kHour);
  // Windows count seconds: a week before the following midnight is not that day's midnight.
  EXPECT_NE(*next - kOneWeek, *ParseAirDate("2012-10-22"));
}

TEST_F(AirDateTest, FormatLocalDateWritesTheLocalCalendarDate) {
  const struct {
    const char* zone;
    int64_t t;
    const char* text;
  } rows[] = {
      {"UTC", 0, "1970-01-01"},
      {"America/New_York", 0, "1969-12-31"},
      {"Asia/Tokyo", 0, "1970-01-01"},
      {"Asia/Tokyo", k2012_05_03 - 9 * kHour, "2012-05-03"},
      {"Asia/Tokyo", k2012_05_03 - 9 * kHour - 1, "2012-05-02"},
      {"Europe/Berlin", k3000_12_31, "3000-12-31"},
  };
  for (const auto& row : rows) {
    SetTimeZone(row.zone);
    EXPECT_EQ(FormatLocalDate(row.t), row.text) << row.zone << " " << row.t;
  }
}

TEST_F(AirDateTest, TodaysDateReadsBackAsTodaysMidnight) {
  for (const Zone& zone : kZones) {
    SetTimeZone(zone.name);
    const int64_t now = Now();
    const auto midnight = ParseAirDate(FormatLocalDate(now));
    ASSERT_TRUE(midnight.has_value()) << zone.name;
    EXPECT_LE(*midnight, now) << zone.name;
    EXPECT_GT(*midnight, now - 25 * kHour) << zone.name;
  }
}

TEST_F(AirDateTest, TheWindowBoundsAreLocalTimes) {
  SetTimeZone("America/New_York");
  EXPECT_EQ(LocalTimeValue(1970, 1, 1, 12), 17 * kHour);
  EXPECT_EQ(LocalTimeValue(2999, 12, 31, 0), *ParseAirDate("2999-12-31"));
  SetTimeZone("Asia/Tokyo");
  EXPECT_EQ(LocalTimeValue(1970, 1, 1, 12), 3 * kHour) << "noon, not midnight, is the bound";
  EXPECT_FALSE(LocalTimeValue(1970, 1, 1, 0).has_value());
}

TEST_F(AirDateTest, AMemoAnswersAsTheConversionDoes) {
  const char* texts[] = {"2012-05-03", "2012-5-3",   "2012-02-31", "2012-03-11", "2012-10-28",
                         "1970-01-01", "1969-12-31", "3000-12-31", "3001-01-01", "2012-13-01",
                         "x",          "",           "2012"};
  for (const Zone& zone : kZones) {
    SetTimeZone(zone.name);
    std::vector<std::optional<int64_t>> direct;
    for (const char* text : texts) direct.push_back(ParseAirDate(text));
    const ScopedAirDateMemo memo;
    for (int pass = 0; pass < 2; ++pass) {  // the second pass answers from the memo
      for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(ParseAirDate(texts[i]), direct[i]) << zone.name << " " << texts[i];
      }
    }
    EXPECT_EQ(LocalTimeValue(1970, 1, 1, 12), ScopedAirDateMemo().LocalTimeValue(1970, 1, 1, 12));
  }
}

TEST_F(AirDateTest, AMemoEndsWithItsScope) {
  SetTimeZone("UTC");
  {
    const ScopedAirDateMemo outer;
    EXPECT_EQ(ParseAirDate("2012-05-03"), k2012_05_03);
    {
      const ScopedAirDateMemo inner;
      SetTimeZone("Asia/Tokyo");
      EXPECT_EQ(ParseAirDate("2012-05-03"), k2012_05_03 - 9 * kHour) << "a new memo, a new zone";
    }
    EXPECT_EQ(ParseAirDate("2012-05-03"), k2012_05_03) << "the outer memo is back";
  }
  EXPECT_EQ(ParseAirDate("2012-05-03"), k2012_05_03 - 9 * kHour) << "no memo: the zone of now";
}

TEST(ClockTest, ATestClockReplacesNowForItsLifetime) {
  const int64_t before = Now();
  {
    ScopedClock fixed([] { return int64_t{1336003200}; });
    EXPECT_EQ(Now(), 1336003200);
    {
      ScopedClock inner([] { return int64_t{5}; });
      EXPECT_EQ(Now(), 5);
    }
    EXPECT_EQ(Now(), 1336003200);
  }
  EXPECT_GE(Now(), before);
  EXPECT_LT(Now(), before + 3600);
}

}  // namespace
}  // namespace quorvel
