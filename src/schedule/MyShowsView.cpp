#include "bridge/WebPage.h"
#include "schedule/FollowedSeries.h"
#include "schedule/ShowViews.h"
#include "shows/Artwork.h"

namespace quorvel {

void ShowMyShowsCommand(WebPage& page) {
  try {
    // The id is the one the series file holds, which may differ from the favourite's.
    ForEachFollowedSeries([&](const SeriesDocument& document) {
      const SeriesInfo& series = document.series();
      page.PopulateMyShowsTable(series.SeriesName, series.id, series.Network, series.Genre,
                                SeriesArtworkUrl(series));
    });
  } catch (...) {
    // Rows already sent stay; the page still hears that the view is complete.
  }
  page.initFinish();
}

}  // namespace quorvel
