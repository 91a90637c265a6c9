#include "schedule/StartupRefresh.h"

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

// A DateAdded that cannot be converted says nothing about the file's age: refresh it.
bool IsDue(const FavoriteShow& favorite) {
  const std::optional<int64_t> added = ParseAirDate(favorite.DateAdded);
  const int64_t now = Now();
  return !added || *added < now - kOneWeek || !FileExists(favorite.PathToDetails);
}

namespace {

// Downloads the series afresh. Only a download that yields a series is stored and dates the
// favourite today; anything else leaves file and date alone, so the next start tries again.
void Refresh(const FavoriteShow& favorite) {
  SeriesRecord downloaded;
  DownloadSeries(favorite.seriesid, downloaded);
  if (!IsSeriesId(downloaded.id)) return;
  if (!downloaded.WriteSeriesFile(GetDataFolder())) return;
  FavoriteList current;
  ReadFavorites(current, GetFavoritesPath());
  AddFavorite(current, favorite.seriesid);
}

// Only the dates are needed: they are streamed, not built into a document.
int CountEpisodesAiredToday(const FavoriteShow& favorite) {
  if (!FileExists(favorite.PathToDetails)) return 0;
  int count = 0;
  for (const std::string& firstAired : ReadEpisodeFirstAired(favorite.PathToDetails)) {
    const std::optional<int64_t> airDate = EpisodeAirDate(firstAired);
    const int64_t now = Now();
    if (airDate && now - kOneDay <= *airDate && *airDate <= now) ++count;
  }
  return count;
}

}  // namespace

int RefreshFollowedShows() {
  int count = 0;
  // Start-up goes on to the icon with what was counted so far, whatever stopped the walk.
  RunGuarded([&] {
    const FavoriteList favorites = ReadFollowedList();
    const ScopedAirDateMemo dates;
    for (const FavoriteShow& favorite : favorites) {
      if (IsDue(favorite)) Refresh(favorite);
      count += CountEpisodesAiredToday(favorite);
    }
  });
  return count;
}

}  // namespace quorvel
