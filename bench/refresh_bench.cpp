// The start-up refresh with every followed series due, against the loopback test server with a
// delay before every answer: the whole refresh, and beside it the sum of the single downloads
// (what the network alone costs when the downloads run one after another).

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "BenchData.h"
#include "app/Paths.h"
#include "core/Fetcher.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/StartupRefresh.h"
#include "support/TestServer.h"

namespace quorvel::bench {
namespace {

constexpr int kEpisodesPerSeries = 100;

// Times every fetch of the fetcher it wraps.
class TimingFetcher : public Fetcher {
 public:
  explicit TimingFetcher(Fetcher& inner) : inner_(inner) {}
  FetchResult Fetch(const std::string& url) override {
    const auto start = std::chrono::steady_clock::now();
    FetchResult result = inner_.Fetch(url);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++count;
    bytes += static_cast<double>(result.body.size());
    return result;
  }
  double seconds = 0;
  int count = 0;
  double bytes = 0;

 private:
  Fetcher& inner_;
};

// Series documents the server hands out, and favourites that make every one of them due.
struct World {
  std::unique_ptr<BenchFolder> folder;
  std::string fixtures;
  FavoriteList dueFavorites;
};

World MakeWorld(int series) {
  World world;
  world.folder = std::make_unique<BenchFolder>();
  world.fixtures = world.folder->root() + "/fixtures";
  std::filesystem::create_directories(world.fixtures + "/tvdb/series");
  const std::string data = GetDataFolder();
  for (int s = 0; s < series; ++s) {
    const std::string id = std::to_string(100000 + s);
    std::ofstream(world.fixtures + "/tvdb/series/" + id + ".xml")
        << SeriesDocumentText(s, kEpisodesPerSeries);
    // Added long ago and never refreshed since: due.
    world.dueFavorites.push_back({id, "2000-01-01", data + id + ".xml"});
  }
  return world;
}

void StartupRefresh(benchmark::State& state) {
  const int series = static_cast<int>(state.range(0));
  const int latencyMs = static_cast<int>(state.range(1));
  World world = MakeWorld(series);
  test::TestServer::Options options;
  options.fixtures = world.fixtures;
  options.latencyMs = latencyMs;
  test::TestServer server(options);
  if (!server.running()) {
    state.SkipWithError("the test server did not start");
    return;
  }
  test::ScopedRemoteHosts hosts(server);
  TimingFetcher timing(CurrentFetcher());
  ScopedFetcher installed(timing);
  double downloads = 0;
  int fetched = 0;
  for (auto _ : state) {
    WriteFavorites(world.dueFavorites);
    timing.seconds = 0;
    timing.count = 0;
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(RefreshFollowedShows());
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    downloads += timing.seconds;
    fetched += timing.count;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["downloads"] = fetched / runs;
  state.counters["downloads_ms"] = downloads / runs * 1000;
  state.counters["kB_each"] = fetched ? timing.bytes / fetched / 1024 : 0;
}
BENCHMARK(StartupRefresh)
    ->ArgNames({"series", "latency_ms"})
    ->Args({50, 20})
    ->Args({200, 20})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What the refresh costs a start with nothing due and the network down: reading every followed
// series to count the episodes dated within the last day.
void StartupRefreshNothingDue(benchmark::State& state) {
  BenchFolder folder;
  WriteFollowedSeries(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double cpu = 0;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    benchmark::DoNotOptimize(RefreshFollowedShows());
    cpu += ProcessCpuSeconds() - start;
  }
  state.counters["cpu_ms"] = cpu / static_cast<double>(state.iterations()) * 1000;
}
BENCHMARK(StartupRefreshNothingDue)
    ->ArgNames({"series", "episodes"})
    ->Args({200, 100})
    ->Args({200, 500})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel::bench

BENCHMARK_MAIN();
