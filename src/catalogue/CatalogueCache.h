#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::catalogue {

// Upstream answers kept on disk under $XDG_CACHE_HOME/quorvel/ (else ~/.cache/quorvel/), read
// from the environment at each use. Keys are relative file names made by the catalogue
// ("shows/82.json"). Safe to use from several threads: files are replaced whole by a rename.
class CatalogueCache {
 public:
  struct Entry {
    std::string bytes;
    int64_t ageSeconds = 0;  // since it was stored; never negative
  };

  // The stored bytes of key with their age, or empty when nothing is stored.
  std::optional<Entry> Read(const std::string& key) const;
  // Stores bytes under key; false (and the old entry left) when it cannot.
  bool Write(const std::string& key, const std::string& bytes) const;
  // Dates a stored entry to when (Unix seconds): the time it is known to be current as of.
  bool MarkCurrentAt(const std::string& key, int64_t when) const;

  // Removes entries stored longer ago than maxAge from the catalogue's own subfolders (the folder
  // is shared with the browser engine's cache, which is left alone). Returns how many went.
  int PruneOlderThan(std::chrono::seconds maxAge) const;

  // The cache folder, ending in "/"; empty when neither XDG_CACHE_HOME nor HOME is usable.
  static std::string Folder();
};

// The subfolders the catalogue's keys live in.
// "shows" held copies without specials; they are only pruned now.
inline constexpr const char* kCacheSubfolders[] = {"series", "updates", "search", "images",
                                                   "shows"};

// A file-name-safe key part for free text (a search): its SHA-256 in hex.
std::string HashKey(const std::string& text);

}  // namespace quorvel::catalogue
