#include "core/NoThrow.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"
#include "shows/Artwork.h"

namespace quorvel {

void ShowMyShowsCommand(PageCalls& page) {
  // Rows already sent stay when reading stops; the page still hears that the view is complete.
  RunGuarded([&] {
    // The id is the one the series file holds, which may differ from the favourite's.
    ForEachFollowedSeries([&](const SeriesDocument& document) {
      const SeriesInfo& series = document.series();
      page.PopulateMyShowsTable(series.SeriesName, series.id, series.Network, series.Genre,
                                SeriesArtworkUrl(series));
    });
  });
  page.initFinish();
}

}  // namespace quorvel
