#include "core/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quorvel {
namespace {

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir) {
    return entry->pw_dir;
  }
  return {};
}

std::string BaseDir(const char* variable, const char* fallbackBelowHome) {
  // Relative values are invalid for XDG variables and are ignored.
  if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
  const std::string home = HomeDir();
  return home.empty() ? std::string() : home + fallbackBelowHome;
}

}  // namespace

std::string UserDataDir() {
  return BaseDir("XDG_DATA_HOME", "/.local/share");
}
std::string UserConfigDir() {
  return BaseDir("XDG_CONFIG_HOME", "/.config");
}
std::string UserCacheDir() {
  return BaseDir("XDG_CACHE_HOME", "/.cache");
}

}  // namespace quorvel
