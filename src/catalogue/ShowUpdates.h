#pragma once

// When TVmaze's map of show updates can vouch for a cached show. Pure rules over given times
// (Unix seconds); the catalogue fetches and keeps the maps.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/TvmazeMapping.h"

namespace quorvel::catalogue {

// The spans TVmaze offers ("/updates/shows?since=…"), narrowest first. A month is read as 28
// days, so a longer month never makes a copy look covered when it is not.
struct UpdatesWindow {
  const char* since;
  int64_t seconds;
};
inline constexpr UpdatesWindow kUpdatesWindows[] = {
    {"day", 86400}, {"week", 7 * 86400}, {"month", 28 * 86400}};
inline constexpr std::size_t kUpdatesWindowCount = 3;

struct ShowUpdatesMap {
  int64_t fetchedAt = 0;
  std::size_t window = 0;  // index into kUpdatesWindows
  ShowUpdateStamps stamps;
};

struct UpdatesTiming {
  // TVmaze may hand out a map made up to this long before it is fetched.
  int64_t lag = 3600;
  // A map older than this no longer speaks for now.
  int64_t maxAge = 86400;
};

// Whether map can judge a copy stored at storedAt: it is still young enough, it was made no earlier
// than the copy, and its span reaches back past the copy (so a show missing from it has not changed
// since).
bool MapCovers(const ShowUpdatesMap& map, int64_t storedAt, int64_t now,
               const UpdatesTiming& timing);

// The narrowest window whose map, fetched now, would cover a copy stored at storedAt; empty when
// none would (the copy is older than the widest span, or too young for any map to know more).
std::optional<std::size_t> WindowToFetch(int64_t storedAt, int64_t now,
                                         const UpdatesTiming& timing);

// With a covering map: true when the show has not changed since its copy stored at storedAt, whose
// own update stamp is cachedStamp (TVmaze's "updated"). A change the map lists must also lie a lag
// before the copy, since either of a copy's two answers may have been TVmaze's older one.
bool UnchangedSince(const ShowUpdatesMap& map, const std::string& id,
                    const std::string& cachedStamp, int64_t storedAt, const UpdatesTiming& timing);

}  // namespace quorvel::catalogue
