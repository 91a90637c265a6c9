#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/Places.h"

namespace quorvel::test {

// Points XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and HOME at a fresh folder and TZ at a
// chosen zone for the test, and removes the folder afterwards. Installs the places the code under
// test sees: the sandbox's data folder (created) and hosts that lead nowhere real ("tvdb.test",
// "feed.test", an update host on 127.0.0.1's discard port); SetPlaces changes them.
class SandboxedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Changes the installed places until the test ends (hosts, page, user id...).
  void SetPlaces(const std::function<void(Places&)>& change);

  // Sets TZ and re-reads the zone rules.
  static void SetTimeZone(const std::string& zone);

  const std::string& root() const { return root_; }
  std::string dataFolder() const;  // the program's data folder, with the trailing "/"

 private:
  std::string root_;
  std::unique_ptr<ScopedPlaces> places_;
  std::string savedTz_;
  bool hadTz_ = false;
};

// Reads a whole file; empty when missing.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace quorvel::test
