#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shows/Records.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

class PageCalls;

// Decides whether an episode dated airDate replaces the best one so far.
using EpisodePreference = std::function<bool(int64_t airDate, int64_t best, int64_t now)>;

// The index of the preferred episode among the dated ones, starting from `bound` as the best
// value; empty when none is preferred. Episodes whose date cannot be converted are passed over.
std::optional<std::size_t> PickEpisode(const SeriesDocument& series, int64_t now, int64_t bound,
                                       const EpisodePreference& prefers);

// The twelve arguments of a next or recent row, in the page's order.
std::vector<std::string> EpisodeRowArguments(const SeriesInfo& series, const EpisodeInfo& episode);

using EpisodeRowSender = bool (PageCalls::*)(const std::vector<std::string>&);

// For each followed series in favourites order, the picked episode as one row, then "initFinish"
// exactly once, also when reading stops on a failure.
void SendPickedEpisodeRows(PageCalls& page, std::optional<int64_t> bound,
                           const EpisodePreference& prefers, EpisodeRowSender send);

}  // namespace quorvel
