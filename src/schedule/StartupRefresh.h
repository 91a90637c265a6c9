#pragma once

#include "shows/Records.h"

namespace quorvel {

// The one rule for whether a followed series is downloaded afresh, at start and while running:
// its DateAdded is more than a week old (or unreadable), or its series file is missing.
bool IsDue(const FavoriteShow& favorite);

// Downloads the series files that are due (older than a week, or missing) and returns the number
// of followed episodes dated within the last day.
int RefreshFollowedShows();

}  // namespace quorvel
