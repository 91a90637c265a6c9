#pragma once

#include <cstdint>
#include <string>

#include "shows/SeriesRecord.h"

namespace quorvel {

class WebPage;

// WM_USER+5: downloads the pending series into detailsRecord and answers "PopulateDetails",
// "initFinish"; the pending id is emptied.
void ShowSeriesDetails(WebPage& page, std::string& pendingSeriesId, SeriesRecord& detailsRecord);
// WM_USER+6: the episodes of one season of detailsRecord, then "initFinish".
void ShowSeasonEpisodes(WebPage& page, const SeriesRecord& detailsRecord, int32_t season);

}  // namespace quorvel
