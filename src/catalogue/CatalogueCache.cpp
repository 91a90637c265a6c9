#include "catalogue/CatalogueCache.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>

namespace quorvel::catalogue {
namespace {

bool IsAbsolute(const char* path) {
  return path && path[0] == '/';
}

}  // namespace

std::string CatalogueCache::Folder() {
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  if (IsAbsolute(cacheHome)) return std::string(cacheHome) + "/quorvel/";
  const char* home = std::getenv("HOME");
  if (IsAbsolute(home)) return std::string(home) + "/.cache/quorvel/";
  return {};
}

std::optional<CatalogueCache::Entry> CatalogueCache::Read(const std::string& key) const {
  const std::string folder = Folder();
  if (folder.empty()) return std::nullopt;
  const std::string path = folder + key;
  GStatBuf info;
  if (g_stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return std::nullopt;
  Entry entry{std::string(contents, length), 0};
  g_free(contents);
  const int64_t age = static_cast<int64_t>(std::time(nullptr)) - info.st_mtime;
  entry.ageSeconds = age > 0 ? age : 0;
  return entry;
}

bool CatalogueCache::Write(const std::string& key, const std::string& bytes) const {
  const std::string folder = Folder();
  if (folder.empty()) return false;
  const std::string path = folder + key;
  gchar* parent = g_path_get_dirname(path.c_str());
  const bool made = g_mkdir_with_parents(parent, 0700) == 0;
  g_free(parent);
  if (!made) return false;
  // A crash mid-write leaves the old entry or the new one, never a mix; losing an entry to a power
  // cut costs only a refetch, so no fsync.
  return g_file_set_contents_full(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()),
                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

bool CatalogueCache::MarkCurrentAt(const std::string& key, int64_t when) const {
  const std::string folder = Folder();
  if (folder.empty()) return false;
  struct utimbuf times = {static_cast<time_t>(when), static_cast<time_t>(when)};
  return g_utime((folder + key).c_str(), &times) == 0;
}

int CatalogueCache::PruneOlderThan(std::chrono::seconds maxAge) const {
  const std::string folder = Folder();
  if (folder.empty()) return 0;
  const int64_t oldest = static_cast<int64_t>(std::time(nullptr)) - maxAge.count();
  int removed = 0;
  for (const char* subfolder : kCacheSubfolders) {
    const std::string path = folder + subfolder;
    GDir* dir = g_dir_open(path.c_str(), 0, nullptr);
    if (!dir) continue;
    while (const char* name = g_dir_read_name(dir)) {
      const std::string file = path + "/" + name;
      GStatBuf info;
      if (g_lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < oldest &&
          g_unlink(file.c_str()) == 0)
        ++removed;
    }
    g_dir_close(dir);
  }
  return removed;
}

std::string HashKey(const std::string& text) {
  gchar* hex = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(text.data()), text.size());
  std::string key(hex);
  g_free(hex);
  return key;
}

}  // namespace quorvel::catalogue
