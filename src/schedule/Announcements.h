#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// A followed episode dated today, as the air-day notification names it.
struct TodayEpisode {
  std::string seriesid;
  std::string episodeId;
  std::string SeriesName;
  std::string SeasonNumber;
  std::string EpisodeNumber;
  std::string EpisodeName;
};

// "Night Ferry S02E10 · Crossing (Part 2)": the name part is left out when the episode has none,
// the numbers when they are not numbers.
std::string AnnouncementLine(const TodayEpisode& episode);
// The body's lines: one per episode, at most five, then "and N more" for the rest.
std::vector<std::string> AnnouncementLines(const std::vector<TodayEpisode>& episodes);

// The memory of announced episodes kept in the settings store: "KEY@YYYY-MM-DD" entries, the
// date being the day of the announcement, separated by blanks.
struct AnnouncementPlan {
  std::vector<TodayEpisode> announce;  // not announced before, in the order given
  std::string memory;                  // what to store once they are announced
};
// Which of today's episodes are new, and the memory after announcing them: earlier entries kept
// unless announced more than a week before now; malformed entries dropped.
AnnouncementPlan PlanAnnouncement(const std::vector<TodayEpisode>& today, const std::string& memory,
                                  int64_t now);

// The key an episode is remembered by: series id and episode id, digits only, so that nothing in
// a series file can break the stored text.
std::string AnnouncementKey(const TodayEpisode& episode);

}  // namespace quorvel
