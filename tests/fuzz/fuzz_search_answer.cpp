// A search answer from the network.

#include <vector>

#include "FuzzSupport.h"
#include "shows/SeriesSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel;
  static fuzz::BytesFetcher fetcher;
  static ScopedFetcher scoped(fetcher);
  fetcher.body = fuzz::AsString(data, size);
  std::vector<SearchResult> results;
  ParseSearchResults("http://fuzz.invalid/api/GetSeries.php?seriesname=x", results);
  return 0;
}
