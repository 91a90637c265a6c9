#include "schedule/DetailsView.h"

#include <algorithm>
#include <utility>

#include "core/NumericText.h"
#include "schedule/PageCalls.h"
#include "shows/Artwork.h"

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

void ShowSeriesDetails(PageCalls& page, std::string& pendingSeriesId, SeriesRecord& detailsRecord) {
  const std::string id = std::exchange(pendingSeriesId, std::string());
  if (id.empty()) {
    page.initFinish();
    return;
  }
  DownloadSeries(id, detailsRecord);
  const SeriesRecord& series = detailsRecord;
  page.PopulateDetails(series.SeriesName, series.Overview, series.Actors, series.Network,
                       series.Status, series.Airs_Time + " " + series.Airs_DayOfWeek, series.Genre,
                       SeriesArtworkUrl(series), CountSeasons(series), series.id, series.IMDB_ID);
  page.initFinish();
}

void ShowSeasonEpisodes(PageCalls& page, const SeriesRecord& detailsRecord, int32_t season) {
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
}

}  // namespace quorvel
