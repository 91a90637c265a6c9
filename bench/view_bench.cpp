// The view commands over generated followed series, beside the floor: xmllint parsing the same
// files. The "ratio" counter is the command's time divided by the floor's.

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

#include "BenchData.h"
#include "bridge/WebPage.h"
#include "platform/MessageWindow.h"
#include "schedule/ShowViews.h"
#include "shows/CurrentlyPlaying.h"

namespace quorvel::bench {
namespace {

struct DataSet {
  std::unique_ptr<BenchFolder> folder;
  std::vector<std::string> files;
  double floorSeconds = 0;
};

// One data set at a time: generating the largest ones is the slow part.
DataSet& DataSetFor(int series, int episodes) {
  static std::pair<int, int> key{-1, -1};
  static DataSet current;
  if (key != std::make_pair(series, episodes)) {
    current = {};
    current.folder = std::make_unique<BenchFolder>();
    current.files = WriteFollowedSeries(series, episodes);
    current.floorSeconds = XmllintSeconds(current.files);
    key = {series, episodes};
  }
  return current;
}

template <class Command>
void RunView(benchmark::State& state, Command command) {
  DataSet& data = DataSetFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  MessageWindow window;
  WebPage page(window);
  CountingPage script;
  page.SetScript(&script);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    command(page);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double perRun = total / static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(script.calls) / state.iterations();
  state.counters["floor_ms"] = data.floorSeconds * 1000;
  state.counters["ratio"] = data.floorSeconds > 0 ? perRun / data.floorSeconds : 0;
}

void MyShows(benchmark::State& state) {
  RunView(state, [](WebPage& p) { ShowMyShowsCommand(p); });
}
void NextShows(benchmark::State& state) {
  RunView(state, [](WebPage& p) { ShowNextShowsCommand(p); });
}
void RecentShows(benchmark::State& state) {
  RunView(state, [](WebPage& p) { ShowRecentShowsCommand(p); });
}
void CurrentlyPlaying(benchmark::State& state) {
  RunView(state, [](WebPage& p) {
    int32_t row = 0;
    ShowCurrentlyPlaying(p, row);
  });
}

// Grouped by data set so each is generated once.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

#define QUORVEL_VIEWS(N, E)                           \
  BENCHMARK(MyShows)->Args({N, E})->Apply(Sizes);     \
  BENCHMARK(NextShows)->Args({N, E})->Apply(Sizes);   \
  BENCHMARK(RecentShows)->Args({N, E})->Apply(Sizes); \
  BENCHMARK(CurrentlyPlaying)->Args({N, E})->Apply(Sizes);

QUORVEL_VIEWS(50, 100)
QUORVEL_VIEWS(50, 500)
QUORVEL_VIEWS(200, 100)
QUORVEL_VIEWS(200, 500)
QUORVEL_VIEWS(500, 100)
QUORVEL_VIEWS(500, 500)

}  // namespace
}  // namespace quorvel::bench

BENCHMARK_MAIN();
