// Writes generated followed series, none of them due, into a user's data folder, for the figures
// taken from the whole program (bench/run).
// Usage: bench_data XDG_DATA_HOME SERIES EPISODES

#include <stdlib.h>

#include <cstdio>
#include <string>

#include "BenchData.h"
#include "app/Paths.h"
#include "core/Places.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_data XDG_DATA_HOME SERIES EPISODES\n");
    return 2;
  }
  setenv("XDG_DATA_HOME", argv[1], 1);
  quorvel::Places places;
  places.dataFolder = quorvel::DataFolderFromEnvironment();
  const quorvel::ScopedPlaces installed(places);
  const auto files = quorvel::bench::WriteFollowedSeries(std::stoi(argv[2]), std::stoi(argv[3]));
  std::printf("%zu series written\n", files.size());
  return files.empty() ? 1 : 0;
}
