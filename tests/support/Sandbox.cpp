#include "support/Sandbox.h"

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel::test {

void SandboxedTest::SetUp() {
  char pattern[] = "/tmp/quorvel-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  root_ = pattern;
  for (const char* sub : {"data", "config", "cache"})
    std::filesystem::create_directory(root_ + "/" + sub);
  setenv("HOME", root_.c_str(), 1);
  setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root_ + "/cache").c_str(), 1);
  Places places;
  places.tvdbHost = "tvdb.test";
  places.feedHost = "feed.test";
  places.updateHost = "127.0.0.1:9";
  places.dataFolder = dataFolder();
  std::filesystem::create_directories(places.dataFolder);
  places_ = std::make_unique<ScopedPlaces>(std::move(places));
  const char* tz = getenv("TZ");
  hadTz_ = tz != nullptr;
  savedTz_ = tz ? tz : "";
  SetTimeZone("UTC");
}

void SandboxedTest::TearDown() {
  places_.reset();
  if (hadTz_) {
    SetTimeZone(savedTz_);
  } else {
    unsetenv("TZ");
    tzset();
  }
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

void SandboxedTest::SetPlaces(const std::function<void(Places&)>& change) {
  Places places = CurrentPlaces();
  change(places);
  places_.reset();
  places_ = std::make_unique<ScopedPlaces>(std::move(places));
}

void SandboxedTest::SetTimeZone(const std::string& zone) {
  setenv("TZ", zone.c_str(), 1);
  tzset();
}

std::string SandboxedTest::dataFolder() const {
  return root_ + "/data/Quorvel/";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

}  // namespace quorvel::test
