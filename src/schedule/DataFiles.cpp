#include "schedule/DataFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "core/NumericText.h"
#include "core/Places.h"

namespace quorvel {

const std::string& GetDataFolder() {
  return CurrentPlaces().dataFolder;
}

std::string GetFavoritesPath() {
  return GetDataFolder() + "favorites.xml";
}

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool IsSeriesFileInDataFolder(const std::string& path) {
  const std::string& folder = GetDataFolder();
  constexpr std::string_view kExtension = ".xml";
  if (folder.empty() || path.size() <= folder.size() + kExtension.size()) return false;
  if (path.compare(0, folder.size(), folder) != 0) return false;
  if (path.compare(path.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
    return false;
  }
  const std::string name =
      path.substr(folder.size(), path.size() - folder.size() - kExtension.size());
  return IsSeriesId(name);
}

DeleteOutcome DeleteSeriesFile(const std::string& path) {
  if (!IsSeriesFileInDataFolder(path)) return DeleteOutcome::Refused;
  if (unlink(path.c_str()) == 0) return DeleteOutcome::Deleted;
  return errno == ENOENT ? DeleteOutcome::AlreadyMissing : DeleteOutcome::Failed;
}

}  // namespace quorvel
