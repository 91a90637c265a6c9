// Reading one large series document, a 500-entry favourites file, and following or unfollowing a
// series in a 500-entry list.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchData.h"
#include "app/Paths.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"

namespace quorvel::bench {
namespace {

void ReadLargeSeriesDocument(benchmark::State& state) {
  BenchFolder folder;
  // About 5 MB: one series with 7 500 episodes.
  const auto files = WriteFollowedSeries(1, 7500);
  const Cost floor = XmllintCost(files, 5);
  double cpu = 0;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    SeriesRecord record;
    record.ReadSeriesDocument(files[0]);
    benchmark::DoNotOptimize(record.episodes.size());
    cpu += ProcessCpuSeconds() - start;
  }
  const double perRun = cpu / static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(files[0]));
  state.counters["cpu_ms"] = perRun * 1000;
  state.counters["floor_cpu_ms"] = floor.cpu * 1000;
  state.counters["cpu_ratio"] = floor.cpu > 0 ? perRun / floor.cpu : 0;
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
