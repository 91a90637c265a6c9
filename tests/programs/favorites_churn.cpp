// Follows and unfollows series for ever, as the commands do, in the data folder of $XDG_DATA_HOME:
// a follow writes the series file, then favorites.xml; an unfollow deletes the series file, then
// rewrites favorites.xml. The crash-safety test kills it at random moments.
//
// Usage: favorites_churn SEED LOG SERIES_DOCUMENT...
// Before every rewrite of favorites.xml one line goes to LOG (appended): "intent ID ID ...", the
// ids the file will hold. At start, "start ID ID ..." gives the ids read from the file, and one
// byte goes to stdout.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "core/Places.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"

namespace {

using namespace quorvel;

void LogLine(int fd, const char* kind, const FavoriteList& list) {
  std::string line = kind;
  for (const FavoriteShow& favorite : list) line += " " + favorite.seriesid;
  line += "\n";
  // One write with O_APPEND: a kill leaves whole lines only.
  if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::_Exit(3);
}

FavoriteList ReadCurrent() {
  FavoriteList list;
  ReadFavorites(list, GetFavoritesPath());
  return list;
}

bool IsFollowed(const FavoriteList& list, const std::string& id) {
  for (const FavoriteShow& favorite : list)
    if (favorite.seriesid == id) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  // As the program does at start: the environment is read once into the places.
  Places read;
  read.dataFolder = DataFolderFromEnvironment();
  const ScopedPlaces places(read);
  std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)));
  const int log = open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) return 2;
  std::vector<SeriesRecord> records;
  for (int i = 3; i < argc; ++i) {
    records.emplace_back();
    records.back().ReadSeriesDocument(argv[i]);
    if (records.back().id.empty()) return 2;
  }
  const std::string folder = GetDataFolder();
  LogLine(log, "start", ReadCurrent());
  // Tells the test that the loop begins, so that its kills land among the writes.
  if (write(1, "r", 1) != 1) return 2;
  for (;;) {
    const SeriesRecord& record = records[random() % records.size()];
    FavoriteList list = ReadCurrent();
    if (IsFollowed(list, record.id)) {
      FavoriteList after = list;
      std::erase_if(after, [&](const FavoriteShow& f) { return f.seriesid == record.id; });
      LogLine(log, "intent", after);
      if (!RemoveFavorite(list, record.id)) return 4;
    } else {
      if (!record.WriteSeriesFile(folder)) return 4;
      FavoriteList after = list;
      after.emplace_back().seriesid = record.id;
      LogLine(log, "intent", after);
      if (!AddFavorite(list, record.id)) return 4;
    }
  }
}
