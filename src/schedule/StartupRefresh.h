#pragma once

#include "shows/Records.h"

namespace quorvel {

// True when the favourite's series file should be downloaded again: it is missing, holds no
// series (damaged, empty, cut short), or is older than a week by DateAdded. A folder in its place
// is never due; it is reported once on stderr.
bool IsRefreshDue(const FavoriteShow& favorite);

// Downloads the series files that are due (older than a week, or missing) and returns the number
// of followed episodes dated within the last day.
int RefreshFollowedShows();

}  // namespace quorvel
