#include "schedule/FollowedSeries.h"

#include "app/Paths.h"
#include "schedule/AirDate.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"

namespace quorvel {

void ForEachFollowedSeries(const std::function<void(const SeriesRecord&)>& visit) {
  const std::string favoritesPath = GetFavoritesPath();
  if (!FileExists(favoritesPath)) return;
  FavoriteList favorites;
  ReadFavorites(favorites, favoritesPath);
  for (const FavoriteShow& favorite : favorites) {
    if (!FileExists(favorite.PathToDetails)) continue;
    SeriesRecord series;
    series.ReadSeriesDocument(favorite.PathToDetails);
    visit(series);
  }
}

void ForEachDatedEpisode(const std::vector<EpisodeInfo>& episodes,
                         const std::function<void(const EpisodeInfo&, int64_t airDate)>& visit) {
  for (const EpisodeInfo& episode : episodes) {
    if (episode.FirstAired.empty()) continue;
    const std::optional<int64_t> airDate = ParseAirDate(episode.FirstAired);
    if (airDate) visit(episode, *airDate);
  }
}

}  // namespace quorvel
