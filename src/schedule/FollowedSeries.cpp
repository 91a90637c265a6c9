#include "schedule/FollowedSeries.h"

#include "core/AirDate.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"

namespace quorvel {

FavoriteList ReadFollowedList() {
  return ReadFollowedList(GetFavoritesPath());
}

FavoriteList ReadFollowedList(const std::string& favoritesPath) {
  FavoriteList favorites;
  if (FileExists(favoritesPath)) ReadFavorites(favorites, favoritesPath);
  return favorites;
}

void ForEachFollowedSeries(const std::function<void(const SeriesDocument&)>& visit) {
  const FavoriteList favorites = ReadFollowedList();
  if (favorites.empty()) return;
  const ScopedAirDateMemo dates;
  for (const FavoriteShow& favorite : favorites) {
    if (!FileExists(favorite.PathToDetails)) continue;
    const SeriesDocument series(favorite.PathToDetails);
    visit(series);
  }
}

std::optional<int64_t> EpisodeAirDate(const std::string& firstAired) {
  if (firstAired.empty()) return std::nullopt;
  return ParseAirDate(firstAired);
}

void ForEachDatedEpisode(const SeriesDocument& series,
                         const std::function<void(std::size_t episode, int64_t airDate)>& visit) {
  for (std::size_t i = 0; i < series.EpisodeCount(); ++i) {
    if (const std::optional<int64_t> airDate = EpisodeAirDate(series.FirstAired(i))) {
      visit(i, *airDate);
    }
  }
}

}  // namespace quorvel
