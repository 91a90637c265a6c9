#pragma once

#include <cstdint>
#include <string>

#include "shows/SeriesRecord.h"

namespace quorvel {

class PageCalls;

// WM_USER+5: downloads the pending series into detailsRecord and answers "PopulateDetails",
// "initFinish"; the pending id is emptied.
void ShowSeriesDetails(PageCalls& page, std::string& pendingSeriesId, SeriesRecord& detailsRecord);
// WM_USER+6: the episodes of one season of detailsRecord, then "initFinish".
void ShowSeasonEpisodes(PageCalls& page, const SeriesRecord& detailsRecord, int32_t season);

}  // namespace quorvel
