#include "core/NoThrow.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"
#include "shows/Artwork.h"

namespace quorvel {

void ShowMyShowsCommand(PageCalls& page) {
  // Rows already sent stay when reading stops; the page still hears that the view is complete.
  RunGuarded([&] {
    // A list that was kept aside is never shown as nothing at all.
    if (const std::string kept = KeptAsideFavoritesPath(); !kept.empty()) {
      page.ShowNotice("Your list of followed series could not be read; it was kept as " + kept +
                      ".");
    }
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
