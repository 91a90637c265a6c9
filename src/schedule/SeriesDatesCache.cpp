#include "schedule/SeriesDatesCache.h"

#include <glib.h>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <string_view>
#include <vector>

#include "core/AtomicFile.h"
#include "core/LocalFile.h"
#include "core/NoThrow.h"
#include "core/XdgDirs.h"

namespace quorvel {
namespace {

constexpr const char* kHeader = "quorvel series dates 1";
constexpr std::size_t kMaxCacheBytes = 16 * 1024 * 1024;

// Texts that cannot break the line format; an entry with any other is not kept.
bool Storable(std::string_view text) {
  return !text.empty() && text.size() <= 32 && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '-';
  });
}

bool StorablePath(const std::string& path) {
  return !path.empty() && path.find_first_of("\t\n\r") == std::string::npos;
}

// The parts of text between separators (one empty part for empty text).
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

template <class T>
bool ParseNumber(std::string_view text, T& value) {
  if (text.empty() || text.size() > 20) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool StorableDates(std::string_view joined) {
  if (joined.empty()) return true;
  for (std::string_view text : Split(joined, ',')) {
    if (!Storable(text)) return false;
  }
  return true;
}

}  // namespace

SeriesDatesCache::SeriesDatesCache(SeriesDatesCache&& other) noexcept
    : path_(std::move(other.path_)),
      entries_(std::move(other.entries_)),
      changed_(other.changed_) {}

SeriesDatesCache SeriesDatesCache::Load() {
  const std::string folder = UserCacheDir();
  if (folder.empty()) return SeriesDatesCache();
  return LoadFrom(folder + "/quorvel/series-dates");
}

SeriesDatesCache SeriesDatesCache::LoadFrom(const std::string& path) {
  SeriesDatesCache cache;
  cache.path_ = path;
  NoThrow([&] {
    const std::string text = ReadLocalFile(path, kMaxCacheBytes);
    const std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.empty() || lines.front() != kHeader) return;
    for (std::size_t n = 1; n < lines.size(); ++n) {
      const std::vector<std::string_view> f = Split(lines[n], '\t');
      Entry entry;
      entry.stamp.exists = true;
      int holds = 0;
      if (f.size() != 9 || !StorablePath(std::string(f[0])) ||
          !ParseNumber(f[1], entry.stamp.device) || !ParseNumber(f[2], entry.stamp.inode) ||
          !ParseNumber(f[3], entry.stamp.size) || !ParseNumber(f[4], entry.stamp.modified) ||
          !ParseNumber(f[5], entry.stamp.changed) || !ParseNumber(f[6], entry.readAt) ||
          !ParseNumber(f[7], holds) || holds < 0 || holds > 1 || !StorableDates(f[8])) {
        continue;
      }
      entry.holdsSeries = holds == 1;
      entry.dates = f[8];
      cache.entries_[std::string(f[0])] = std::move(entry);
    }
  });
  return cache;
}

SeriesFileDates SeriesDatesCache::Read(const std::string& seriesFile) {
  // Stamped before it is read: a file replaced meanwhile is read again next time.
  const FileStamp stamp = StampOfFile(seriesFile);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(seriesFile);
    if (found != entries_.end() && stamp.exists && found->second.stamp == stamp &&
        !ReadTooSoon(stamp, found->second.readAt)) {
      found->second.used = true;
      SeriesFileDates dates{found->second.holdsSeries, {}};
      if (!found->second.dates.empty()) {
        for (std::string_view text : Split(found->second.dates, ',')) {
          dates.firstAired.emplace_back(text);
        }
      }
      return dates;
    }
  }
  const long long readAt = WallClockNs();
  SeriesFileDates dates = ReadSeriesFileDates(seriesFile);
  std::string joined;
  bool storable = stamp.exists && StorablePath(seriesFile);
  for (const std::string& text : dates.firstAired) {
    if (text.empty()) continue;  // counts as no date, as it reads
    storable = storable && Storable(text);
    if (!joined.empty()) joined += ',';
    joined += text;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(seriesFile);
  if (storable) entries_[seriesFile] = {stamp, readAt, dates.holdsSeries, std::move(joined), true};
  changed_ = true;
  return dates;
}

void SeriesDatesCache::Save() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const bool dropped = std::any_of(entries_.begin(), entries_.end(),
                                   [](const auto& entry) { return !entry.second.used; });
  if (path_.empty() || (!changed_ && !dropped)) return;
  NoThrow([&] {
    const std::string folder = path_.substr(0, path_.rfind('/'));
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) return;
    std::ostringstream out;
    out << kHeader << '\n';
    for (const auto& [file, entry] : entries_) {
      if (!entry.used) continue;  // a series no longer followed
      const FileStamp& s = entry.stamp;
      out << file << '\t' << s.device << '\t' << s.inode << '\t' << s.size << '\t' << s.modified
          << '\t' << s.changed << '\t' << entry.readAt << '\t' << (entry.holdsSeries ? 1 : 0)
          << '\t' << entry.dates << '\n';
    }
    ReplaceFileAtomically(path_, out.str());
  });
}

}  // namespace quorvel
