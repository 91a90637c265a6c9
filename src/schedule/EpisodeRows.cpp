#include "schedule/EpisodeRows.h"

#include "bridge/WebPage.h"
#include "schedule/Clock.h"
#include "schedule/FollowedSeries.h"
#include "shows/Artwork.h"

namespace quorvel {

const EpisodeInfo* PickEpisode(const std::vector<EpisodeInfo>& episodes, int64_t now, int64_t bound,
                               const EpisodePreference& prefers) {
  const EpisodeInfo* chosen = nullptr;
  int64_t best = bound;
  ForEachDatedEpisode(episodes, [&](const EpisodeInfo& episode, int64_t airDate) {
    if (!prefers(airDate, best, now)) return;
    best = airDate;
    chosen = &episode;
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

void SendPickedEpisodeRows(WebPage& page, std::optional<int64_t> bound,
                           const EpisodePreference& prefers, EpisodeRowSender send) {
  try {
    // Without its bound the view has no rows to offer, only its end.
    if (bound) {
      ForEachFollowedSeries([&](const SeriesRecord& series) {
        if (series.episodes.empty()) return;
        const EpisodeInfo* episode = PickEpisode(series.episodes, Now(), *bound, prefers);
        if (episode) (page.*send)(EpisodeRowArguments(series, *episode));
      });
    }
  } catch (...) {
    // Rows already sent stay; the page still hears that the view is complete.
  }
  page.initFinish();
}

}  // namespace quorvel
