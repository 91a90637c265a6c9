#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "shows/SeriesRecord.h"

namespace quorvel {

// Reads favorites.xml and, in its order, every followed series whose file exists; each series is
// read afresh from its file. No favourites file or no entries: nothing is visited.
void ForEachFollowedSeries(const std::function<void(const SeriesRecord&)>& visit);

// Visits the episodes, in order, whose FirstAired is set and converts to an air date. An episode
// whose date cannot be converted (before 1970, malformed) is passed over, never fatal.
void ForEachDatedEpisode(const std::vector<EpisodeInfo>& episodes,
                         const std::function<void(const EpisodeInfo&, int64_t airDate)>& visit);

}  // namespace quorvel
