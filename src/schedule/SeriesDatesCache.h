#pragma once

#include <map>
#include <mutex>
#include <string>

#include "core/FileStamp.h"
#include "shows/SeriesRecord.h"

namespace quorvel {

// What the start's due rule and count read of each series file, kept between starts in the
// user's cache folder ("quorvel/series-dates"), so that a start reads one small file instead of
// every series document. An entry serves only while its file still has the stamp it had when it
// was read, and not when the file had changed within a clock tick of that reading; anything
// else is read from the file again. A damaged cache reads as empty. Read is safe from several
// threads at once.
class SeriesDatesCache {
 public:
  // The cache of the user's cache folder; an empty one when there is none or it is damaged.
  static SeriesDatesCache Load();

  // ReadSeriesFileDates(path) as the file is now.
  SeriesFileDates Read(const std::string& seriesFile);

  // Keeps the entries read or served since the load, when anything changed, through the same
  // atomic replacement as every other file of the program.
  void Save() const;

  SeriesDatesCache(SeriesDatesCache&& other) noexcept;

 private:
  SeriesDatesCache() = default;
  static SeriesDatesCache LoadFrom(const std::string& path);
  struct Entry {
    FileStamp stamp;
    long long readAt = 0;
    bool holdsSeries = false;
    std::string dates;  // the FirstAired texts that are set, joined by commas: one allocation
    bool used = false;
  };
  std::string path_;
  std::map<std::string, Entry> entries_;
  bool changed_ = false;
  mutable std::mutex mutex_;
};

}  // namespace quorvel
