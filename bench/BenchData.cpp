#include "BenchData.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/Paths.h"
#include "core/AirDate.h"
#include "core/Clock.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "shows/SeriesRecord.h"

namespace quorvel::bench {

BenchFolder::BenchFolder() {
  char pattern[] = "/tmp/quorvel-bench-XXXXXX";
  root_ = mkdtemp(pattern);
  setenv("HOME", root_.c_str(), 1);
  setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root_ + "/cache").c_str(), 1);
  Places places;
  // Nothing listens here: the feed and any download fail at once.
  places.feedHost = places.tvdbHost = "127.0.0.1:9";
  places.dataFolder = DataFolderFromEnvironment();
  places_ = std::make_unique<ScopedPlaces>(std::move(places));
}

BenchFolder::~BenchFolder() {
  places_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string BenchFolder::dataFolder() const {
  return GetDataFolder();
}

namespace {

SeriesRecord GeneratedSeries(int s, int episodesPerSeries) {
  const int64_t now = Now();
  SeriesRecord record;
  record.id = std::to_string(100000 + s);
  record.SeriesName = "Series " + std::to_string(s);
  record.Network = "Network";
  record.Genre = "|Drama|Comedy|";
  record.poster = "posters/" + record.id + "-1.jpg";
  record.Overview = std::string(400, 'o');
  for (int e = 0; e < episodesPerSeries; ++e) {
    EpisodeInfo episode;
    episode.id = std::to_string(s * 10000 + e);
    episode.Combined_season = std::to_string(1 + e / 20);
    episode.SeasonNumber = episode.Combined_season;
    episode.EpisodeNumber = std::to_string(1 + e % 20);
    episode.Combined_episodenumber = episode.EpisodeNumber;
    episode.EpisodeName = "Episode " + episode.id;
    episode.Overview = std::string(300, 'x');
    // Weekly episodes ending a few weeks after today, each series on a weekday of its own.
    episode.FirstAired =
        FormatLocalDate(now + ((e - episodesPerSeries + 5) * 7 + s % 7 - 3) * kOneDay);
    record.episodes.push_back(episode);
  }
  return record;
}

}  // namespace

std::string SeriesDocumentText(int seriesIndex, int episodes) {
  return GeneratedSeries(seriesIndex, episodes).SeriesFileText();
}

std::vector<std::string> WriteFollowedSeries(int seriesCount, int episodesPerSeries) {
  const std::string folder = GetDataFolder();
  std::vector<std::string> files;
  FavoriteList favorites;
  const int64_t now = Now();
  for (int s = 0; s < seriesCount; ++s) {
    const SeriesRecord record = GeneratedSeries(s, episodesPerSeries);
    record.WriteSeriesFile(folder);
    files.push_back(folder + record.id + ".xml");
    favorites.push_back({record.id, FormatLocalDate(now), folder + record.id + ".xml"});
  }
  WriteFavorites(favorites);
  return files;
}

namespace {

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

Cost XmllintCost(const std::vector<std::string>& files, int runs) {
  std::string command = "xmllint --noout";
  for (const auto& file : files) command += " '" + file + "'";
  std::vector<double> walls, cpus;
  for (int run = 0; run < runs; ++run) {
    const double cpuBefore = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return {-1, -1};
    walls.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpus.push_back(ChildrenCpuSeconds() - cpuBefore);
  }
  return {Median(walls), Median(cpus)};
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

}  // namespace quorvel::bench
