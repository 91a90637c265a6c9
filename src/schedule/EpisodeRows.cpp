#include "schedule/EpisodeRows.h"

#include "core/Clock.h"
#include "core/NoThrow.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "shows/Artwork.h"

namespace quorvel {

std::optional<std::size_t> PickEpisode(const SeriesDocument& series, int64_t now, int64_t bound,
                                       const EpisodePreference& prefers) {
  std::optional<std::size_t> chosen;
  int64_t best = bound;
  ForEachDatedEpisode(series, [&](std::size_t episode, int64_t airDate) {
    if (!prefers(airDate, best, now)) return;
    best = airDate;
    chosen = episode;
  });
  return chosen;
}

std::vector<std::string> EpisodeRowArguments(const SeriesInfo& series, const EpisodeInfo& episode) {
  return {series.SeriesName,
          episode.SeasonNumber,
          episode.EpisodeNumber,
          episode.EpisodeName,
          episode.FirstAired,
          "0",
          EpisodeArtworkUrl(series, episode),
          episode.Overview,
          series.id,
          series.IMDB_ID,
          episode.id,
          episode.IMDB_ID};
}

void SendPickedEpisodeRows(PageCalls& page, std::optional<int64_t> bound,
                           const EpisodePreference& prefers, EpisodeRowSender send) {
  // Rows already sent stay when reading stops; the page still hears that the view is complete.
  RunGuarded([&] {
    // Without its bound the view has no rows to offer, only its end.
    if (bound) {
      ForEachFollowedSeries([&](const SeriesDocument& series) {
        if (series.EpisodeCount() == 0) return;
        // Only the picked episode is read whole.
        const std::optional<std::size_t> picked = PickEpisode(series, Now(), *bound, prefers);
        if (picked) (page.*send)(EpisodeRowArguments(series.series(), series.Episode(*picked)));
      });
    }
  });
  page.initFinish();
}

}  // namespace quorvel
