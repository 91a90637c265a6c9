#include "core/NoThrow.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"
#include "shows/Artwork.h"

namespace quorvel {

// What ForEachFollowedSeries visits, with each file stamped before it is read.
MyShowsRows MyShowsRows::Read() {
  MyShowsRows read;
  read.started_ = WallClockNs();
  read.stamps_.push_back({GetFavoritesPath(), StampOfFile(GetFavoritesPath())});
  const FavoriteList favorites = ReadFollowedList();
  for (const FavoriteShow& favorite : favorites) {
    read.stamps_.push_back({favorite.PathToDetails, StampOfFile(favorite.PathToDetails)});
    if (!read.stamps_.back().file.exists) continue;
    // The id is the one the series file holds, which may differ from the favourite's.
    const SeriesDocument document(favorite.PathToDetails);
    const SeriesInfo& series = document.series();
    read.rows_.push_back(
        {series.SeriesName, series.id, series.Network, series.Genre, SeriesArtworkUrl(series)});
  }
  return read;
}

bool MyShowsRows::StillCurrent() const {
  for (const Stamp& stamp : stamps_) {
    if (StampOfFile(stamp.path) != stamp.file || ReadTooSoon(stamp.file, started_)) return false;
  }
  return !stamps_.empty();
}

void ShowMyShowsCommand(PageCalls& page, const std::optional<MyShowsRows>& readAhead) {
  // Whatever stops the reading, the page still hears that the view is complete.
  RunGuarded([&] {
    // A list that was kept aside is never shown as nothing at all.
    if (const std::string kept = KeptAsideFavoritesPath(); !kept.empty()) {
      page.ShowNotice("Your list of followed series could not be read; it was kept as " + kept +
                      ".");
    }
    std::optional<MyShowsRows> fresh;
    const MyShowsRows& rows =
        readAhead && readAhead->StillCurrent() ? *readAhead : fresh.emplace(MyShowsRows::Read());
    for (const MyShowsRows::Row& row : rows.rows_) {
      page.PopulateMyShowsTable(row.name, row.id, row.network, row.genre, row.artwork);
    }
  });
  page.initFinish();
}

}  // namespace quorvel
