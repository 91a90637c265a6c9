#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

// The entries of favorites.xml, or none when there is no such file.
FavoriteList ReadFollowedList();
// The same from the favourites file at favoritesPath (a data folder passed in, not the installed
// one).
FavoriteList ReadFollowedList(const std::string& favoritesPath);

// Reads favorites.xml and, in its order, every followed series whose file exists; each series is
// read afresh from its file. No favourites file or no entries: nothing is visited. Dates converted
// during the walk are remembered until it ends.
void ForEachFollowedSeries(const std::function<void(const SeriesDocument&)>& visit);

// The air date of an episode's FirstAired text: empty when the text is empty or does not convert.
std::optional<int64_t> EpisodeAirDate(const std::string& firstAired);

// Visits the episodes, in order, whose FirstAired is set and converts to an air date, with their
// index in the document. An episode whose date cannot be converted (before 1970, malformed) is
// passed over, never fatal.
void ForEachDatedEpisode(const SeriesDocument& series,
                         const std::function<void(std::size_t episode, int64_t airDate)>& visit);

}  // namespace quorvel
