#include "schedule/SearchView.h"

#include <utility>

#include "schedule/PageCalls.h"
#include "shows/SeriesRecord.h"
#include "shows/SeriesSearch.h"

namespace quorvel {

void SearchSeries(PageCalls& page, std::string& pendingSearchText) {
  // Taken at once: a new text the page sends while this search answers is kept for the next run.
  const std::string text = std::exchange(pendingSearchText, std::string());
  if (text.empty()) return;
  std::vector<SearchResult> results;
  ParseSearchResults(GetSearchUrl(text), results);
  if (results.empty()) {
    page.NoResults();
  } else {
    page.ShowResults();
    for (const SearchResult& hit : results) {
      page.PopulateSearchTable(hit.SeriesName, hit.id, ArtworkUrl(hit.banner), hit.Network,
                               hit.FirstAired, hit.Overview);
    }
  }
  page.initFinish();
}

}  // namespace quorvel
