#pragma once

namespace quorvel {

// Downloads the series files that are due (older than a week, or missing) and returns the number
// of followed episodes dated within the last day.
int RefreshFollowedShows();

}  // namespace quorvel
