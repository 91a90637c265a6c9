#include "schedule/StartupRefresh.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <set>

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "core/XmlScanner.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "shows/SeriesRecord.h"

namespace quorvel {
namespace {

// A folder where a series file belongs is the user's: it is never replaced, and said once.
void ReportFolderOnce(const std::string& path) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard<std::mutex> lock(mutex);
  if (reported.insert(path).second) {
    std::fprintf(stderr, "quorvel: %s is a folder, not a series file; it is left as it is\n",
                 path.c_str());
  }
}

// A file that holds no series (cut short, empty, not XML) has nothing to show either.
bool HoldsASeries(const std::string& path) {
  return !StreamChildTexts(path, "Data", "Series", "id").empty();
}

}  // namespace

bool IsRefreshDue(const FavoriteShow& favorite) {
  struct stat info;
  if (favorite.PathToDetails.empty() || stat(favorite.PathToDetails.c_str(), &info) != 0) {
    return true;
  }
  if (S_ISDIR(info.st_mode)) {
    ReportFolderOnce(favorite.PathToDetails);
    return false;
  }
  // A DateAdded that cannot be converted says nothing about the file's age: refresh it.
  const std::optional<int64_t> added = ParseAirDate(favorite.DateAdded);
  if (!added || *added < Now() - kOneWeek) return true;
  return !HoldsASeries(favorite.PathToDetails);
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
  // A list that cannot be read now is not rewritten from nothing.
  if (LoadFavorites(current, GetFavoritesPath()) == FavoritesFile::Unreadable) return;
  AddFavorite(current, favorite.seriesid);
}

// Only the dates are needed: they are streamed, not built into a document.
int CountEpisodesAiredToday(const FavoriteShow& favorite) {
  if (!FileExists(favorite.PathToDetails)) return 0;
  int count = 0;
  for (const std::string& firstAired : ReadEpisodeFirstAired(favorite.PathToDetails)) {
    const std::optional<int64_t> airDate = EpisodeAirDate(firstAired);
    if (airDate && IsDatedToday(*airDate, Now())) ++count;
  }
  return count;
}

}  // namespace

bool IsDatedToday(int64_t airDate, int64_t now) {
  return now - kOneDay <= airDate && airDate <= now;
}

int RefreshFollowedShows() {
  int count = 0;
  // Start-up goes on to the icon with what was counted so far, whatever stopped the walk.
  RunGuarded([&] {
    const FavoriteList favorites = ReadFollowedList();
    const ScopedAirDateMemo dates;
    for (const FavoriteShow& favorite : favorites) {
      if (IsRefreshDue(favorite)) Refresh(favorite);
      count += CountEpisodesAiredToday(favorite);
    }
  });
  return count;
}

}  // namespace quorvel
