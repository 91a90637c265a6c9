#pragma once

#include <string>

#include "shows/Records.h"

namespace quorvel {

// The series' picture for the details and My Shows views: poster, else fanart, else banner, as an
// artwork URL; empty when all three are empty.
std::string SeriesArtworkUrl(const SeriesInfo& series);

// An episode's picture for the schedule rows: the episode's own image, else the series' banner.
std::string EpisodeArtworkUrl(const SeriesInfo& series, const EpisodeInfo& episode);

}  // namespace quorvel
