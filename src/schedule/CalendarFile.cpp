#include "schedule/CalendarFile.h"

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <set>

#include "core/AirDate.h"
#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "core/Handles.h"
#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "core/UriLauncher.h"
#include "schedule/DataFiles.h"
#include "schedule/FollowedSeries.h"

namespace quorvel {
namespace {

constexpr std::size_t kMaxLineOctets = 75;
constexpr int kDaysBack = 30;
constexpr std::string_view kCrLf = "\r\n";

using Days = std::chrono::sys_days;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A season or episode number the summary can show as such: decimal digits only, after blanks.
std::optional<int> WholeNumber(std::string_view text) {
  text = Trimmed(text);
  if (!IsDigits(text) || text.size() > 9) return std::nullopt;
  return TextToInt(std::string(text));
}

// Valid UTF-8 without NULs: stored files may carry anything.
std::string ValidUtf8(std::string_view text) {
  std::string withoutNul;
  withoutNul.reserve(text.size());
  for (char c : text) {
    if (c != '\0') withoutNul.push_back(c);
  }
  const GCharPtr valid(
      g_utf8_make_valid(withoutNul.data(), static_cast<gssize>(withoutNul.size())));
  return valid ? std::string(valid.get()) : std::string();
}

// Code points a calendar TEXT may not carry: C0 controls but tab, DEL, and the C1 controls.
bool IsDroppedControl(gunichar c) {
  return (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F);
}

// Plain text a calendar may carry: valid UTF-8, each line break (CR LF, CR or LF) as lineBreak,
// and the controls dropped.
std::string CleanText(std::string_view text, std::string_view lineBreak) {
  const std::string valid = ValidUtf8(text);
  std::string out;
  out.reserve(valid.size());
  for (const gchar* p = valid.c_str(); *p != '\0'; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && p[1] == '\n') ++p;
      out += lineBreak;
    } else if (!IsDroppedControl(c)) {
      out.append(p, g_utf8_next_char(p) - p);
    }
  }
  return out;
}

// A name as one line of plain text.
std::string OneLine(std::string_view text) {
  return std::string(Trimmed(CleanText(text, " ")));
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::optional<Days> LocalDay(int64_t t) {
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&value, &tm) == nullptr) return std::nullopt;
  return Days(std::chrono::year(tm.tm_year + 1900) / (tm.tm_mon + 1) / tm.tm_mday);
}

// The local calendar day of an episode's FirstAired, as the views read it (2012-02-30 is
// 1 March).
std::optional<Days> AirDay(const std::string& firstAired) {
  if (Trimmed(firstAired).empty()) return std::nullopt;
  const std::optional<int64_t> midnight = ParseAirDate(firstAired);
  return midnight ? LocalDay(*midnight) : std::nullopt;
}

// At most 30 days before today, or later.
bool InWindow(const std::optional<Days>& day, const std::optional<Days>& today) {
  return day && today && *day >= *today - std::chrono::days(kDaysBack);
}

std::string DateValue(Days day) {
  const std::chrono::year_month_day date(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string UtcStamp(int64_t now) {
  const std::time_t value = static_cast<std::time_t>(now);
  std::tm tm{};
  char text[32] = "19700101T000000Z";
  if (gmtime_r(&value, &tm) != nullptr) std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
  return text;
}

bool IsImdbId(std::string_view id) {
  return id.size() > 2 && id.substr(0, 2) == "tt" && IsDigits(id.substr(2)) && id.size() <= 16;
}

// The IMDb page of the episode, else of the series; empty without a usable id.
std::string ImdbUrl(const SeriesInfo& series, const EpisodeInfo& episode) {
  for (std::string_view id : {Trimmed(episode.IMDB_ID), Trimmed(series.IMDB_ID)}) {
    if (IsImdbId(id)) return "https://www.imdb.com/title/" + std::string(id) + "/";
  }
  return {};
}

std::string Joined(std::string_view first, std::string_view separator, std::string_view second) {
  if (first.empty()) return std::string(second);
  if (second.empty()) return std::string(first);
  return std::string(first) + std::string(separator) + std::string(second);
}

// The episode's overview, then where and when the series airs ("Harbour Nine, Friday 11:00 PM").
std::string Description(const SeriesInfo& series, const EpisodeInfo& episode) {
  const std::string airs =
      Joined(Trimmed(series.Network), ", ",
             Joined(Trimmed(series.Airs_DayOfWeek), " ", Trimmed(series.Airs_Time)));
  return Joined(Trimmed(episode.Overview), "\n\n", airs);
}

// The octets from `at` that must stay on one line: an escape, or one UTF-8 sequence.
std::size_t UnitLength(std::string_view line, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(line[at]);
  std::size_t length = 1;
  if (lead == '\\') {
    length = 2;
  } else if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  return std::min(length, line.size() - at);
}

class CalendarBuilder {
 public:
  explicit CalendarBuilder(int64_t now) : stamp_(UtcStamp(now)), today_(LocalDay(now)) {
    Line("BEGIN:VCALENDAR");
    Line("VERSION:2.0");
    Line("PRODID:-//Quorvel//Followed episodes//EN");
    Line("CALSCALE:GREGORIAN");
    Line("X-WR-CALNAME:Quorvel");
    Line("REFRESH-INTERVAL;VALUE=DURATION:PT6H");
  }

  void AddSeries(const SeriesRecord& series) {
    if (!IsDigits(series.id)) return;
    for (const EpisodeInfo& episode : series.episodes) AddEpisode(series, episode);
  }

  std::string Finish() {
    Line("END:VCALENDAR");
    return std::move(text_);
  }

 private:
  void AddEpisode(const SeriesInfo& series, const EpisodeInfo& episode) {
    if (!IsDigits(episode.id) || !today_) return;
    const std::optional<Days> day = AirDay(episode.FirstAired);
    if (!InWindow(day, today_)) return;
    const std::string uid = episode.id + "-" + series.id + "@quorvel";
    // A series followed twice, or an episode listed twice, is still one event.
    if (!uids_.insert(uid).second) return;

    Line("BEGIN:VEVENT");
    Line("UID:" + uid);
    Line("DTSTAMP:" + stamp_);
    Line("DTSTART;VALUE=DATE:" + DateValue(*day));
    Line("DTEND;VALUE=DATE:" + DateValue(*day + std::chrono::days(1)));
    Line("SUMMARY:" + EscapeText(EpisodeSummary(series, episode), false));
    const std::string description = Description(series, episode);
    if (!description.empty()) Line("DESCRIPTION:" + EscapeText(description));
    const std::string url = ImdbUrl(series, episode);
    if (!url.empty()) Line("URL:" + url);
    Line("TRANSP:TRANSPARENT");
    Line("END:VEVENT");
  }

  void Line(const std::string& line) { text_ += FoldContentLine(line); }

  std::string text_;
  const std::string stamp_;
  const std::optional<Days> today_;
  std::set<std::string> uids_;
};

// The series of the favourites file at path, each read from its own file, in the file's order,
// with only the episodes the calendar shows: most of a long series lies in the past, and only
// its dates are read.
std::vector<SeriesRecord> ReadFollowedSeries(const std::string& favoritesPath, int64_t now) {
  std::vector<SeriesRecord> followed;
  const std::optional<Days> today = LocalDay(now);
  for (const FavoriteShow& favorite : ReadFollowedList(favoritesPath)) {
    if (!FileExists(favorite.PathToDetails)) continue;
    // An unreadable file reads as a series without episodes: it adds nothing.
    const SeriesDocument document(favorite.PathToDetails);
    SeriesRecord series;
    static_cast<SeriesInfo&>(series) = document.series();
    for (std::size_t i = 0; i < document.EpisodeCount(); ++i) {
      if (InWindow(AirDay(document.FirstAired(i)), today)) {
        series.episodes.push_back(document.Episode(i));
      }
    }
    followed.push_back(std::move(series));
  }
  return followed;
}

}  // namespace

std::string EscapeText(std::string_view text, bool keepLineBreaks) {
  const std::string clean = CleanText(text, keepLineBreaks ? "\n" : " ");
  std::string out;
  out.reserve(clean.size() + clean.size() / 8);
  for (char c : clean) {
    if (c == '\n') {
      out += "\\n";
    } else {
      if (c == '\\' || c == ';' || c == ',') out += '\\';
      out += c;
    }
  }
  return out;
}

std::string FoldContentLine(std::string_view line) {
  std::string out;
  out.reserve(line.size() + line.size() / 36 + 2);
  std::size_t lineOctets = 0;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t unit = UnitLength(line, at);
    if (lineOctets + unit > kMaxLineOctets) {
      out += kCrLf;
      out += ' ';
      lineOctets = 1;
    }
    out.append(line.substr(at, unit));
    lineOctets += unit;
    at += unit;
  }
  out += kCrLf;
  return out;
}

std::string EpisodeSummary(const SeriesInfo& series, const EpisodeInfo& episode) {
  const std::optional<int> season = WholeNumber(episode.SeasonNumber);
  const std::optional<int> number = WholeNumber(episode.EpisodeNumber);
  std::string summary = OneLine(series.SeriesName);
  if (season && number) {
    summary = Joined(summary, " ", "S" + TwoDigits(*season) + "E" + TwoDigits(*number));
  }
  return Joined(summary, " \u00B7 ", OneLine(episode.EpisodeName));
}

std::string CalendarFilePath(const std::string& dataFolder) {
  return dataFolder + "quorvel.ics";
}

std::string CalendarText(const std::vector<SeriesRecord>& series, int64_t now) {
  const ScopedAirDateMemo dates;
  CalendarBuilder builder(now);
  for (const SeriesRecord& one : series) builder.AddSeries(one);
  return builder.Finish();
}

bool WriteCalendarFile(const std::string& dataFolder, int64_t now) {
  // Without a data folder the path would be relative to wherever the program runs.
  if (dataFolder.empty()) return false;
  // Out of memory on a huge series file: the previous calendar stays, and the command or refresh
  // that asked for it goes on.
  return NoThrow(false, [&] {
    // Writers on two threads (a command, a running check) take turns: each reads the followed
    // series only once the other's file is in place, so the file written last is never older
    // than the last change.
    static std::mutex writing;
    const std::lock_guard<std::mutex> turn(writing);
    const ScopedAirDateMemo dates;
    const std::string text =
        CalendarText(ReadFollowedSeries(dataFolder + "favorites.xml", now), now);
    return ReplaceFileAtomically(CalendarFilePath(dataFolder), text);
  });
}

bool EnsureCalendarFile(const std::string& dataFolder, int64_t now) {
  if (!dataFolder.empty() && FileExists(CalendarFilePath(dataFolder))) return true;
  return WriteCalendarFile(dataFolder, now);
}

void OpenCalendar() {
  const std::string folder = GetDataFolder();
  if (!EnsureCalendarFile(folder, Now())) return;
  CurrentUriLauncher().OpenFile(CalendarFilePath(folder), "text/calendar");
}

}  // namespace quorvel
