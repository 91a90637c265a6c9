#pragma once

#include <string>

namespace quorvel {

// The data folder the program installed (Places::dataFolder): ends in "/", or empty.
const std::string& GetDataFolder();
// GetDataFolder() + "favorites.xml".
std::string GetFavoritesPath();

// True when something exists at the path (a file the program may read).
bool FileExists(const std::string& path);

// True only for a per-series file directly inside the data folder: the folder followed by a plain
// series id and ".xml". Nothing else is ever deleted by the program.
bool IsSeriesFileInDataFolder(const std::string& path);

enum class DeleteOutcome { Deleted, AlreadyMissing, Refused, Failed };
// Deletes a per-series file. Refused (and nothing touched) for any path outside the data folder.
DeleteOutcome DeleteSeriesFile(const std::string& path);

}  // namespace quorvel
