#include "core/AirDate.h"
#include "schedule/EpisodeRows.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"

namespace quorvel {
namespace {

// Noon of 1970-01-01 keeps out the dates that stand for "no date". In zones more than twelve hours
// east of UTC that noon lies before the time range; every date that converts is after it anyway.
int64_t RecentLowerBound() {
  return LocalTimeValue(1970, 1, 1, 12).value_or(0);
}

}  // namespace

void ShowRecentShowsCommand(PageCalls& page) {
  // The latest episode not after now; on equal dates the last in the file wins.
  const auto airedLatest = [](int64_t airDate, int64_t best, int64_t now) {
    return airDate <= now && airDate >= best;
  };
  SendPickedEpisodeRows(page, RecentLowerBound(), airedLatest, &PageCalls::PopulateRecentShows);
}

}  // namespace quorvel
