// Placeholders until the view commands land.
#include "bridge/WebPage.h"
#include "schedule/Favorites.h"
#include "schedule/ShowViews.h"
#include "schedule/StartupRefresh.h"
#include "shows/CurrentlyPlaying.h"
#include "shows/DetailsView.h"
#include "shows/SeriesSearch.h"

namespace quorvel {

std::string GetSearchUrl(const std::string&) {
  return {};
}
bool ParseSearchResults(const std::string&, std::vector<SearchResult>&) {
  return false;
}
void SearchSeries(WebPage& page, std::string& text) {
  if (text.empty()) return;
  page.NoResults();
  page.initFinish();
  text.clear();
}
void ShowSeriesDetails(WebPage& page, std::string&, SeriesRecord&) {
  page.initFinish();
}
void ShowSeasonEpisodes(WebPage& page, const SeriesRecord&, int32_t) {
  page.initFinish();
}
void ShowCurrentlyPlaying(WebPage& page, int32_t&) {
  page.initFinish();
  page.NoResults();
}
bool ReadFavorites(FavoriteList&, const std::string&) {
  return false;
}
bool AddFavorite(FavoriteList&, const std::string&) {
  return false;
}
bool RemoveFavorite(FavoriteList&, const std::string&) {
  return false;
}
bool WriteFavorites(const FavoriteList&) {
  return false;
}
void AddToFavsCommand(WebPage& page, const SeriesRecord&) {
  page.initFinish();
}
void RemoveShowCommand(WebPage& page, int32_t) {
  page.initFinish();
}
void ShowMyShowsCommand(WebPage& page) {
  page.initFinish();
}
void ShowNextShowsCommand(WebPage& page) {
  page.initFinish();
}
void ShowRecentShowsCommand(WebPage& page) {
  page.initFinish();
}
int RefreshFollowedShows() {
  return 0;
}

}  // namespace quorvel
