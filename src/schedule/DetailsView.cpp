#include "schedule/DetailsView.h"

#include <algorithm>
#include <utility>

#include "bridge/WebPage.h"
#include "shows/Artwork.h"
#include "core/NumericText.h"

namespace quorvel {
namespace {

int32_t CountSeasons(const SeriesRecord& record) {
  int32_t count = 0;
  for (const EpisodeInfo& episode : record.episodes) {
    count = std::max(count, TextToInt(episode.Combined_season));
  }
  return count;
}

}  // namespace

void ShowSeriesDetails(WebPage& page, std::string& pendingSeriesId, SeriesRecord& detailsRecord) {
  const std::string id = std::exchange(pendingSeriesId, std::string());
  if (id.empty()) {
    page.initFinish();
    return;
  }
  try {
    DownloadSeries(id, detailsRecord);
    const SeriesRecord& series = detailsRecord;
    page.PopulateDetails(series.SeriesName, series.Overview, series.Actors, series.Network,
                         series.Status, series.Airs_Time + " " + series.Airs_DayOfWeek,
                         series.Genre, SeriesArtworkUrl(series), CountSeasons(series), series.id,
                         series.IMDB_ID);
    page.initFinish();
  } catch (...) {
    // The command ends silently.
  }
}

void ShowSeasonEpisodes(WebPage& page, const SeriesRecord& detailsRecord, int32_t season) {
  try {
    if (season > 0) {
      int32_t row = 0;
      for (const EpisodeInfo& episode : detailsRecord.episodes) {
        if (TextToInt(episode.Combined_season) != season) continue;
        page.PopulateSeasonsTable(episode.EpisodeNumber, episode.EpisodeName, episode.FirstAired,
                                  IntToText(row % 2));
        ++row;
      }
    }
    page.initFinish();
  } catch (...) {
    // The command ends silently.
  }
}

}  // namespace quorvel
