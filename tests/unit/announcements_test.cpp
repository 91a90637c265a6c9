// The air-day notification's text and the memory of announced episodes.

#include <gtest/gtest.h>

#include "core/AirDate.h"
#include "schedule/Announcements.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

TodayEpisode Episode(const std::string& id, const std::string& series = "Night Ferry",
                     const std::string& season = "2", const std::string& number = "10",
                     const std::string& name = "Crossing (Part 2)") {
  return {"80900", id, series, season, number, name};
}

TEST(AnnouncementTextTest, OneLinePerEpisode) {
  const struct {
    TodayEpisode episode;
    const char* line;
  } cases[] = {
      {Episode("1"), "Night Ferry S02E10 \u00b7 Crossing (Part 2)"},
      {Episode("1", "Night Ferry", "0", "1", "Special"), "Night Ferry S00E01 \u00b7 Special"},
      {Episode("1", "Night Ferry", "12", "105", ""), "Night Ferry S12E105"},
      {Episode("1", "Night Ferry", "", "3", "Untitled"), "Night Ferry \u00b7 Untitled"},
      {Episode("1", "  Night Ferry ", "1.0", "2", "X"), "Night Ferry \u00b7 X"},
      {Episode("1", "", "1", "2", ""), "S01E02"},
      {Episode("1", "A & <B>", "1", "1", "\"C\""), "A & <B> S01E01 \u00b7 \"C\""},
  };
  for (const auto& c : cases) EXPECT_EQ(AnnouncementLine(c.episode), c.line);
}

TEST(AnnouncementTextTest, AtMostFiveLinesThenHowManyMore) {
  std::vector<TodayEpisode> episodes;
  for (int i = 1; i <= 7; ++i)
    episodes.push_back(Episode(std::to_string(i), "S", "1", std::to_string(i), ""));
  EXPECT_EQ(AnnouncementLines({episodes.begin(), episodes.begin() + 5}).size(), 5u);
  const std::vector<std::string> lines = AnnouncementLines(episodes);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[4], "S S01E05");
  EXPECT_EQ(lines[5], "and 2 more");
  EXPECT_TRUE(AnnouncementLines({}).empty());
}

class AnnouncementMemoryTest : public test::SandboxedTest {};

TEST_F(AnnouncementMemoryTest, EachEpisodeIsAnnouncedOnceAndForgottenAfterAWeek) {
  SetTimeZone("Europe/Berlin");
  const int64_t day = *ParseAirDate("2026-12-09") + 10 * 3600;
  const AnnouncementPlan first = PlanAnnouncement({Episode("7"), Episode("8")}, "", day);
  EXPECT_EQ(first.announce.size(), 2u);
  EXPECT_EQ(first.memory, "80900:7@2026-12-09 80900:8@2026-12-09");

  // Later the same day one more episode: only it is new.
  const AnnouncementPlan second =
      PlanAnnouncement({Episode("7"), Episode("8"), Episode("9")}, first.memory, day + 3600);
  ASSERT_EQ(second.announce.size(), 1u);
  EXPECT_EQ(second.announce[0].episodeId, "9");
  const AnnouncementPlan again = PlanAnnouncement({Episode("9")}, second.memory, day + 7200);
  EXPECT_TRUE(again.announce.empty());
  EXPECT_EQ(again.memory, second.memory);

  // Six days on the entries stay; eight days on they are pruned.
  EXPECT_EQ(PlanAnnouncement({}, second.memory, day + 6 * 86400).memory, second.memory);
  EXPECT_EQ(PlanAnnouncement({}, second.memory, day + 8 * 86400).memory, "");
}

TEST_F(AnnouncementMemoryTest, DamagedMemoryIsDroppedAndOddIdsCannotBreakIt) {
  const int64_t day = *ParseAirDate("2026-12-09") + 3600;
  const AnnouncementPlan plan = PlanAnnouncement(
      {Episode("7"), Episode(" 5 6@x", "S"), Episode("", "T", "3", "4")},
      "garbage @2026-12-09 80900:1@notadate 80900:2@2026-12-08 80900:2@2026-12-08", day);
  EXPECT_EQ(plan.announce.size(), 3u);
  EXPECT_EQ(plan.memory,
            "80900:2@2026-12-08 80900:7@2026-12-09 80900:56@2026-12-09 80900:s3e4@2026-12-09");
  // The same episode twice in one check (a series followed twice) is announced once.
  EXPECT_EQ(PlanAnnouncement({Episode("7"), Episode("7")}, "", day).announce.size(), 1u);
}

}  // namespace
}  // namespace quorvel
