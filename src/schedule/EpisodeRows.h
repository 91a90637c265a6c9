#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shows/Records.h"

namespace quorvel {

class WebPage;

// Decides whether an episode dated airDate replaces the best one so far.
using EpisodePreference = std::function<bool(int64_t airDate, int64_t best, int64_t now)>;

// The preferred episode among the dated ones, starting from `bound` as the best value; null when
// none is preferred. Episodes whose date cannot be converted are passed over.
const EpisodeInfo* PickEpisode(const std::vector<EpisodeInfo>& episodes, int64_t now, int64_t bound,
                               const EpisodePreference& prefers);

// The twelve arguments of a next or recent row, in the page's order.
std::vector<std::string> EpisodeRowArguments(const SeriesInfo& series, const EpisodeInfo& episode);

using EpisodeRowSender = bool (WebPage::*)(const std::vector<std::string>&);

// For each followed series in favourites order, the picked episode as one row, then "initFinish"
// exactly once, also when reading stops on a failure.
void SendPickedEpisodeRows(WebPage& page, std::optional<int64_t> bound,
                           const EpisodePreference& prefers, EpisodeRowSender send);

}  // namespace quorvel
