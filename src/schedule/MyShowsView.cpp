#include <sys/stat.h>

#include <ctime>

#include "core/NoThrow.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "schedule/PageCalls.h"
#include "schedule/ShowViews.h"
#include "shows/Artwork.h"

namespace quorvel {

MyShowsRows::Stamp MyShowsRows::StampOf(const std::string& path) {
  Stamp stamp{.path = path};
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = static_cast<unsigned long long>(info.st_size);
  stamp.modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
  stamp.changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
  return stamp;
}

// What ForEachFollowedSeries visits, with each file stamped before it is read.
MyShowsRows MyShowsRows::Read() {
  MyShowsRows read;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  read.started_ = now.tv_sec * 1000000000LL + now.tv_nsec;
  read.stamps_.push_back(StampOf(GetFavoritesPath()));
  const FavoriteList favorites = ReadFollowedList();
  for (const FavoriteShow& favorite : favorites) {
    read.stamps_.push_back(StampOf(favorite.PathToDetails));
    if (!read.stamps_.back().exists) continue;
    // The id is the one the series file holds, which may differ from the favourite's.
    const SeriesDocument document(favorite.PathToDetails);
    const SeriesInfo& series = document.series();
    read.rows_.push_back(
        {series.SeriesName, series.id, series.Network, series.Genre, SeriesArtworkUrl(series)});
  }
  return read;
}

bool MyShowsRows::StillCurrent() const {
  // File times move in clock ticks: a file changed just before the read could be changed again
  // in the same tick, size kept, and look the same. Such a file is never trusted.
  constexpr long long kTickNs = 50'000'000;
  for (const Stamp& stamp : stamps_) {
    if (StampOf(stamp.path) != stamp) return false;
    if (stamp.exists && stamp.changed > started_ - kTickNs) return false;
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
