// The view commands over generated followed series, beside the floor: xmllint parsing the same
// files, taken again right after every repetition so that both see the same moment of a shared
// machine. "ratio" is the command's wall time divided by the floor's; "cpu_ratio" the same for
// CPU time, which other work on the machine disturbs far less.

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

#include "BenchData.h"
#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "core/Clock.h"
#include "schedule/CalendarFile.h"
#include "schedule/CurrentlyPlaying.h"
#include "schedule/DataFiles.h"
#include "schedule/ShowViews.h"

namespace quorvel::bench {
namespace {

struct DataSet {
  std::unique_ptr<BenchFolder> folder;
  std::vector<std::string> files;
};

// One data set at a time: generating the largest ones is the slow part.
DataSet& DataSetFor(int series, int episodes) {
  static std::pair<int, int> key{-1, -1};
  static DataSet current;
  if (key != std::make_pair(series, episodes)) {
    current = {};
    current.folder = std::make_unique<BenchFolder>();
    current.files = WriteFollowedSeries(series, episodes);
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
  double wall = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    command(page);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += ProcessCpuSeconds() - cpuStart;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(script.calls) / runs;
  state.counters["cpu_ms"] = cpu / runs * 1000;
  const Cost floor = XmllintCost(data.files, 1);
  state.counters["floor_ms"] = floor.wall * 1000;
  state.counters["floor_cpu_ms"] = floor.cpu * 1000;
  state.counters["ratio"] = floor.wall > 0 ? wall / runs / floor.wall : 0;
  state.counters["cpu_ratio"] = floor.cpu > 0 ? cpu / runs / floor.cpu : 0;
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

// Not a view, but the same walk over every followed series: rewritten after each change to them.
void CalendarFile(benchmark::State& state) {
  RunView(state, [](WebPage&) { WriteCalendarFile(GetDataFolder(), Now()); });
}

// Grouped by data set so each is generated once.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

#define QUORVEL_VIEWS(N, E)                                \
  BENCHMARK(MyShows)->Args({N, E})->Apply(Sizes);          \
  BENCHMARK(NextShows)->Args({N, E})->Apply(Sizes);        \
  BENCHMARK(RecentShows)->Args({N, E})->Apply(Sizes);      \
  BENCHMARK(CurrentlyPlaying)->Args({N, E})->Apply(Sizes); \
  BENCHMARK(CalendarFile)->Args({N, E})->Apply(Sizes);

QUORVEL_VIEWS(50, 100)
QUORVEL_VIEWS(50, 500)
QUORVEL_VIEWS(200, 100)
QUORVEL_VIEWS(200, 500)
QUORVEL_VIEWS(500, 100)
QUORVEL_VIEWS(500, 500)

}  // namespace
}  // namespace quorvel::bench

BENCHMARK_MAIN();
