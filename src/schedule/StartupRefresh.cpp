#include "schedule/StartupRefresh.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/AirDate.h"
#include "core/Clock.h"
#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/FollowedSeries.h"
#include "schedule/SeriesDatesCache.h"
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

// What the due rule found; the dates come along when it had to read the file for its verdict.
struct SeriesFileLook {
  bool due = true;
  std::vector<std::string> firstAired;
};

SeriesFileLook LookAtSeriesFile(const FavoriteShow& favorite, SeriesDatesCache* cache = nullptr) {
  struct stat info;
  if (favorite.PathToDetails.empty() || stat(favorite.PathToDetails.c_str(), &info) != 0) {
    return {};
  }
  if (S_ISDIR(info.st_mode)) {
    ReportFolderOnce(favorite.PathToDetails);
    return {false, {}};
  }
  // A DateAdded that cannot be converted says nothing about the file's age: refresh it.
  const std::optional<int64_t> added = ParseAirDate(favorite.DateAdded);
  if (!added || *added < Now() - kOneWeek) return {};
  // A file that holds no series (cut short, empty, not XML) has nothing to show either.
  SeriesFileDates dates =
      cache ? cache->Read(favorite.PathToDetails) : ReadSeriesFileDates(favorite.PathToDetails);
  return {!dates.holdsSeries, std::move(dates.firstAired)};
}

}  // namespace

bool IsRefreshDue(const FavoriteShow& favorite) {
  return LookAtSeriesFile(favorite).due;
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

int CountDatedToday(const std::vector<std::string>& firstAired) {
  int count = 0;
  for (const std::string& text : firstAired) {
    const std::optional<int64_t> airDate = EpisodeAirDate(text);
    if (airDate && IsDatedToday(*airDate, Now())) ++count;
  }
  return count;
}

// The due rule for every favourite, on as many threads as there are cores (at most four): the
// start's icon waits for these reads, and they are independent. A thread that cannot start
// leaves its share to the others.
std::vector<SeriesFileLook> LookAtSeriesFiles(const FavoriteList& favorites,
                                              SeriesDatesCache& cache) {
  std::vector<SeriesFileLook> looks(favorites.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i; (i = next++) < favorites.size();) {
      looks[i] = LookAtSeriesFile(favorites[i], &cache);
    }
  };
  {
    std::vector<std::jthread> helpers;
    const std::size_t cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    if (favorites.size() >= 16) {
      RunGuarded([&] {
        while (helpers.size() + 1 < cores) helpers.emplace_back([&] { RunGuarded(work); });
      });
    }
    work();
  }
  return looks;
}

// Refreshes the series when due, then counts its episodes dated today. A series not due was read
// once by the due rule, and those dates are counted; only one due is read again after its
// download (whatever file is there then). Only the dates are read: streamed, not built into a
// document.
int RefreshAndCount(const FavoriteShow& favorite, const SeriesFileLook& look) {
  if (!look.due) return CountDatedToday(look.firstAired);
  Refresh(favorite);
  if (!FileExists(favorite.PathToDetails)) return 0;
  return CountDatedToday(ReadEpisodeFirstAired(favorite.PathToDetails));
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
    // What earlier starts read of the series files not changed since is read from the cache.
    SeriesDatesCache cache = SeriesDatesCache::Load();
    const std::vector<SeriesFileLook> looks = LookAtSeriesFiles(favorites, cache);
    // Downloads and stores one at a time: each store rewrites the favourites file.
    for (std::size_t i = 0; i < favorites.size(); ++i) {
      count += RefreshAndCount(favorites[i], looks[i]);
    }
    cache.Save();
  });
  return count;
}

}  // namespace quorvel
