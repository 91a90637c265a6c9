#pragma once

#include <gtest/gtest.h>

#include <string>

namespace quorvel::test {

// Points XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and HOME at a fresh folder and TZ at a
// chosen zone for the test, and removes the folder afterwards.
class SandboxedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets TZ and re-reads the zone rules.
  static void SetTimeZone(const std::string& zone);

  const std::string& root() const { return root_; }
  std::string dataFolder() const;  // the program's data folder, with the trailing "/"

 private:
  std::string root_;
  std::string savedTz_;
  bool hadTz_ = false;
};

// Reads a whole file; empty when missing.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace quorvel::test
