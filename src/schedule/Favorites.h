#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shows/Records.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

class PageCalls;

using FavoriteList = std::vector<FavoriteShow>;

// Empties the list, then reads Data/Series of the file. True when at least one entry was read.
bool ReadFavorites(FavoriteList& list, const std::string& path);
// Adds the series (or moves DateAdded of every entry with that id to today) and rewrites the file.
bool AddFavorite(FavoriteList& list, const std::string& seriesid);
// Deletes the series' files and entries with that id, then rewrites the file.
bool RemoveFavorite(FavoriteList& list, const std::string& seriesid);
// Rewrites favorites.xml from the list. A file that exists but cannot be read is kept aside first.
bool WriteFavorites(const FavoriteList& list);

// WM_USER+7: follows the series the details view read last, then "initFinish".
void AddToFavsCommand(PageCalls& page, const SeriesRecord& detailsRecord);
// WM_USER+11: unfollows the series, then "initFinish".
void RemoveShowCommand(PageCalls& page, int32_t id);

}  // namespace quorvel
