#include "schedule/CurrentlyPlaying.h"

#include "core/AirDate.h"
#include "core/Clock.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "shows/Artwork.h"
#include "shows/RssChannel.h"

namespace quorvel {
namespace {

bool AiredInLastThreeDays(int64_t airDate) {
  const int64_t now = Now();
  return now - kThreeDays <= airDate && airDate <= now;
}

void SendFollowedEpisodeRows(PageCalls& page, int32_t& currentRowIndex) {
  ForEachFollowedSeries([&](const SeriesDocument& document) {
    const SeriesInfo& series = document.series();
    ForEachDatedEpisode(document, [&](std::size_t index, int64_t airDate) {
      if (!AiredInLastThreeDays(airDate)) return;
      // Only the episodes shown are read whole.
      const EpisodeInfo episode = document.Episode(index);
      ++currentRowIndex;
      page.PopulateCurentlyPlayingTable(
          series.SeriesName, series.id, episode.SeasonNumber, episode.EpisodeNumber,
          episode.EpisodeName, episode.FirstAired, EpisodeArtworkUrl(series, episode),
          currentRowIndex, episode.Overview, series.IMDB_ID, episode.id, episode.IMDB_ID);
    });
  });
}

void SendFeedItems(PageCalls& page) {
  RssChannel feed;
  feed.ReadFeed();
  for (auto item = feed.items.rbegin(); item != feed.items.rend(); ++item) {
    page.AddRssItem(item->title, item->link);
  }
}

}  // namespace

void ShowCurrentlyPlaying(PageCalls& page, int32_t& currentRowIndex) {
  currentRowIndex = -1;
  SendFollowedEpisodeRows(page, currentRowIndex);
  SendFeedItems(page);
  page.initFinish();
  // Feed items do not count as rows of the view.
  if (currentRowIndex == -1) page.NoResults();
}

}  // namespace quorvel
