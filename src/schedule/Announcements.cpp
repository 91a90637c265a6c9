#include "schedule/Announcements.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>

#include "core/AirDate.h"
#include "core/NumericText.h"

namespace quorvel {
namespace {

constexpr std::size_t kMostLines = 5;

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (!std::isdigit(c)) return false;
  }
  return true;
}

std::string DigitsOf(const std::string& text) {
  std::string digits;
  for (unsigned char c : text) {
    if (std::isdigit(c)) digits += static_cast<char>(c);
  }
  return digits;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string AnnouncementLine(const TodayEpisode& episode) {
  std::string line = Trimmed(episode.SeriesName);
  const std::string season = Trimmed(episode.SeasonNumber);
  const std::string number = Trimmed(episode.EpisodeNumber);
  if (AllDigits(season) && AllDigits(number)) {
    char code[32];
    std::snprintf(code, sizeof code, "S%02dE%02d", TextToInt(season), TextToInt(number));
    if (!line.empty()) line += ' ';
    line += code;
  }
  const std::string name = Trimmed(episode.EpisodeName);
  if (!name.empty()) line += (line.empty() ? "" : " \u00b7 ") + name;
  return line;
}

std::vector<std::string> AnnouncementLines(const std::vector<TodayEpisode>& episodes) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < episodes.size() && i < kMostLines; ++i) {
    lines.push_back(AnnouncementLine(episodes[i]));
  }
  if (episodes.size() > kMostLines) {
    lines.push_back("and " + std::to_string(episodes.size() - kMostLines) + " more");
  }
  return lines;
}

std::string AnnouncementKey(const TodayEpisode& episode) {
  const std::string episodeDigits = DigitsOf(episode.episodeId);
  // An episode without an id is known by its season and number within the series.
  const std::string part = !episodeDigits.empty() ? episodeDigits
                                                  : "s" + DigitsOf(episode.SeasonNumber) + "e" +
                                                        DigitsOf(episode.EpisodeNumber);
  return DigitsOf(episode.seriesid) + ":" + part;
}

AnnouncementPlan PlanAnnouncement(const std::vector<TodayEpisode>& today, const std::string& memory,
                                  int64_t now) {
  AnnouncementPlan plan;
  std::set<std::string> known;
  std::string kept;
  std::istringstream entries(memory);
  for (std::string entry; entries >> entry;) {
    const auto at = entry.rfind('@');
    if (at == std::string::npos || at == 0) continue;
    const std::optional<int64_t> day = ParseAirDate(entry.substr(at + 1));
    // A week on, the episode is long past today; a day that cannot be read is forgotten too.
    if (!day || *day < now - kOneWeek) continue;
    if (!known.insert(entry.substr(0, at)).second) continue;
    kept += (kept.empty() ? "" : " ") + entry;
  }
  const std::string date = FormatLocalDate(now);
  for (const TodayEpisode& episode : today) {
    const std::string key = AnnouncementKey(episode);
    if (!known.insert(key).second) continue;
    plan.announce.push_back(episode);
    kept += (kept.empty() ? "" : " ") + key + "@" + date;
  }
  plan.memory = kept;
  return plan;
}

}  // namespace quorvel
