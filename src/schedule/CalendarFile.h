#pragma once

// The followed episodes as an iCalendar file (RFC 5545) in the data folder, which calendar
// applications subscribe to and re-read. One all-day VEVENT per episode of a followed series dated
// at most 30 days before today, or later.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shows/SeriesRecord.h"

namespace quorvel {

// dataFolder (ending in "/") + "quorvel.ics".
std::string CalendarFilePath(const std::string& dataFolder);

// Rewrites dataFolder + "quorvel.ics" from dataFolder + "favorites.xml" and the series files its
// entries name. `now` (seconds since 1970 UTC, as Now() gives) fixes today's local date for the
// window of days and the DTSTAMP. A series file that cannot be read leaves out its episodes only;
// no favourites file gives a calendar without events. The file is replaced atomically, so a
// failed write leaves the previous one whole. Never throws; false when nothing could be written.
// Any thread: calls take turns, and each reads the followed series afresh.
//
// The one call to make after anything that changes the followed series or their files: the
// start-up refresh, follow and unfollow call it, and so does any later refresh, once when it has
// rewritten the series files: WriteCalendarFile(GetDataFolder(), Now()).
bool WriteCalendarFile(const std::string& dataFolder, int64_t now);

// Writes the calendar file only when there is none yet.
bool EnsureCalendarFile(const std::string& dataFolder, int64_t now);

// Writes the calendar file if missing and hands exactly that file (in the installed data folder)
// to the installed launcher's OpenFile for text/calendar. What the page's OpenCalendar does.
void OpenCalendar();

// The pieces, for tests.

// The whole calendar text for these series, in their order.
std::string CalendarText(const std::vector<SeriesRecord>& series, int64_t now);

// "Series name S02E10 · Episode name"; "Series name · Episode name" when the season or episode
// number is not a whole number; nothing after the number (or the name) when the episode has no
// name.
std::string EpisodeSummary(const SeriesInfo& series, const EpisodeInfo& episode);

// A TEXT value: valid UTF-8, control characters other than tab dropped, line breaks as "\n"
// (or a blank when keepLineBreaks is false), and "\", ";", "," escaped.
std::string EscapeText(std::string_view text, bool keepLineBreaks = true);

// One content line ("NAME:value") folded into lines of at most 75 octets, each ended by CRLF;
// a fold never falls inside a UTF-8 sequence or an escape.
std::string FoldContentLine(std::string_view line);

}  // namespace quorvel
