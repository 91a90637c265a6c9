#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/PageScript.h"
#include "core/Fetcher.h"
#include "core/Places.h"
#include "platform/FetchHelper.h"
#include "platform/HttpFetcher.h"

namespace quorvel::bench {

// A private data folder for one benchmark run, removed at the end, installed with the program's
// fetcher (over its download helper) and hosts where nothing listens, as app/main installs its
// own.
class BenchFolder {
 public:
  BenchFolder();
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::string& root() const { return root_; }
  std::string dataFolder() const;

 private:
  std::string root_;
  std::unique_ptr<ScopedPlaces> places_;
  HelperProcessTransport transport_{QUORVEL_FETCH_PROGRAM};
  ScopedHttpTransport installedTransport_{transport_};
  HttpFetcher fetcher_;
  ScopedFetcher installedFetcher_{fetcher_};
};

// Writes favorites.xml and one series file per followed series, in the stored layout, with
// episodes spread around today so that next, recent and currently playing all have rows.
// Returns the paths of the series files.
std::vector<std::string> WriteFollowedSeries(int seriesCount, int episodesPerSeries);

// A page that only counts rows (the cost of the page itself is measured elsewhere).
class CountingPage : public PageScript {
 public:
  bool HasDocument() const override { return true; }
  void Call(const std::string&, const std::vector<std::string>&,
            std::function<void(const std::string&)>) override {
    ++calls;
  }
  void SetBodyBackground(const std::string&) override {}
  int64_t calls = 0;
};

// Writes one series document of that many episodes, in the stored layout, and returns its text.
std::string SeriesDocumentText(int seriesIndex, int episodes);

// Wall and CPU seconds of a piece of work.
struct Cost {
  double wall = 0;
  double cpu = 0;
};

// What `xmllint --noout` takes over the files (median of `runs`): what parsing alone costs.
// The CPU time is the child's user and system time, which a busy machine disturbs far less.
Cost XmllintCost(const std::vector<std::string>& files, int runs = 3);

// This process's CPU time in seconds (every thread).
double ProcessCpuSeconds();

}  // namespace quorvel::bench
