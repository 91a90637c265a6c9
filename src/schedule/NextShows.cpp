#include "core/AirDate.h"
#include "schedule/EpisodeRows.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"

namespace quorvel {

void ShowNextShowsCommand(PageCalls& page) {
  // The earliest episode strictly after now; on equal dates the first in the file stays chosen.
  const auto airsNext = [](int64_t airDate, int64_t best, int64_t now) {
    return now < airDate && airDate < best;
  };
  SendPickedEpisodeRows(page, LocalTimeValue(2999, 12, 31, 0), airsNext,
                        &PageCalls::PopulateNextShows);
}

}  // namespace quorvel
