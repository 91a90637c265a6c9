// Reading one large series document, a 500-entry favourites file, and following or unfollowing a
// series in a 500-entry list.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchData.h"
#include "app/Paths.h"
#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"

namespace quorvel::bench {
namespace {

void ReadLargeSeriesDocument(benchmark::State& state) {
  BenchFolder folder;
  // About 5 MB: one series with 6 000 episodes.
  const auto files = WriteFollowedSeries(1, 6000);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(files[0]));
  for (auto _ : state) {
    SeriesRecord record;
    record.ReadSeriesDocument(files[0]);
    benchmark::DoNotOptimize(record.episodes.size());
  }
}
BENCHMARK(ReadLargeSeriesDocument)->Unit(benchmark::kMillisecond);

void ReadFavorites500(benchmark::State& state) {
  BenchFolder folder;
  WriteFollowedSeries(500, 1);
  for (auto _ : state) {
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    benchmark::DoNotOptimize(list.size());
  }
}
BENCHMARK(ReadFavorites500)->Unit(benchmark::kMillisecond);

void FollowAndUnfollowIn500(benchmark::State& state) {
  BenchFolder folder;
  WriteFollowedSeries(500, 1);
  SeriesRecord record;
  record.id = "999999";
  record.SeriesName = "Extra";
  for (auto _ : state) {
    record.WriteSeriesFile(GetDataFolder());
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    AddFavorite(list, record.id);
    ReadFavorites(list, GetFavoritesPath());
    RemoveFavorite(list, record.id);
  }
}
BENCHMARK(FollowAndUnfollowIn500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel::bench

BENCHMARK_MAIN();
