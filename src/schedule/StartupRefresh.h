#pragma once

#include <cstdint>

#include "shows/Records.h"

namespace quorvel {

// The one rule for whether a followed series is downloaded afresh, at start and while running:
// its series file is missing, holds no series (damaged, empty, cut short), or is older than a
// week by DateAdded (or DateAdded is unreadable). A folder in its place is never due; it is
// reported once on stderr.
bool IsRefreshDue(const FavoriteShow& favorite);

// The one rule for the red icon and the air-day notice: an episode dated within the last day.
bool IsDatedToday(int64_t airDate, int64_t now);

// Downloads the series files that are due (older than a week, or missing) and returns the number
// of followed episodes dated within the last day.
int RefreshFollowedShows();

}  // namespace quorvel
