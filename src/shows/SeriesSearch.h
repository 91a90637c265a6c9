#pragma once

#include <string>
#include <vector>

#include "shows/Records.h"

namespace quorvel {

// "http://" + TheTVDB host + "/api/GetSeries.php?seriesname=" + the text, percent-encoded.
std::string GetSearchUrl(const std::string& searchText);
// Reads Data/Series of a search answer. False when nothing was found.
bool ParseSearchResults(const std::string& url, std::vector<SearchResult>& results);

}  // namespace quorvel
