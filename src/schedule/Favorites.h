#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shows/Records.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

class PageCalls;

using FavoriteList = std::vector<FavoriteShow>;

// What reading favorites.xml found. Only a file whose bytes were read can be NotAList; one that
// could not be read (no permission, no descriptor free, too large, not a regular file) is
// Unreadable and must be left alone, since it may hold a good list.
enum class FavoritesFile { Missing, List, NotAList, Unreadable };

// Empties the list, then reads Data/Series of the file.
FavoritesFile LoadFavorites(FavoriteList& list, const std::string& path);
// LoadFavorites for readers. True when at least one entry was read.
bool ReadFavorites(FavoriteList& list, const std::string& path);
// Adds the series (or moves DateAdded of every entry with that id to today) and rewrites the file.
bool AddFavorite(FavoriteList& list, const std::string& seriesid);
// Deletes the series' files and entries with that id, then rewrites the file.
bool RemoveFavorite(FavoriteList& list, const std::string& seriesid);
// Rewrites favorites.xml from the list. A file whose bytes are not a favourites document is kept
// aside first (and put back when the write fails); one that cannot be read is not replaced.
bool WriteFavorites(const FavoriteList& list);
// The newest kept-aside favourites file while favorites.xml is missing or lists nothing, else "".
std::string KeptAsideFavoritesPath();

// WM_USER+7: follows the series the details view read last, then "initFinish".
void AddToFavsCommand(PageCalls& page, const SeriesRecord& detailsRecord);
// WM_USER+11: unfollows the series, then "initFinish".
void RemoveShowCommand(PageCalls& page, int32_t id);

}  // namespace quorvel
