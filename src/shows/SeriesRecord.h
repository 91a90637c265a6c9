#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/XmlDocument.h"
#include "shows/Records.h"

namespace quorvel {

// A series with its episodes in document order.
struct SeriesRecord : SeriesInfo {
  std::vector<EpisodeInfo> episodes;

  // Reads a series document from a series URL or a per-series file. Episodes are emptied first and
  // each series field is overwritten (empty when absent). False when the document could not be
  // read or holds no Episode element; the series fields are filled all the same.
  bool ReadSeriesDocument(const std::string& source);

  // Writes folder + id + ".xml" atomically in the stored layout. False, and nothing written, when
  // the id is not a plain series id or the save fails.
  bool WriteSeriesFile(const std::string& folder) const;

  // The bytes WriteSeriesFile would store (tests and fixtures).
  std::string SeriesFileText() const;
};

// A series document read once, with its series fields; each episode is read only when asked
// for, so a view that picks episodes by date converts the date of each and everything else of
// the few it sends. Reads exactly what ReadSeriesDocument reads.
class SeriesDocument {
 public:
  // A source that cannot be read leaves every series field empty and no episodes.
  explicit SeriesDocument(const std::string& source);

  const SeriesInfo& series() const { return series_; }
  std::size_t EpisodeCount() const { return episodes_.size(); }
  // The FirstAired text of episode i (from 0, in document order).
  std::string FirstAired(std::size_t i) const;
  EpisodeInfo Episode(std::size_t i) const;

 private:
  XmlDocument document_;
  SeriesInfo series_;
  std::vector<XmlNode> episodes_;
};

// The FirstAired text of every episode of a series document, in order: what
// SeriesDocument(source).FirstAired(i) gives for each i, read without building the document.
std::vector<std::string> ReadEpisodeFirstAired(const std::string& source);

// What a glance at a stored series file needs, in one streamed read: whether it holds a series
// at all (a Data/Series element; a damaged or cut-short file holds none), and what
// ReadEpisodeFirstAired gives.
struct SeriesFileDates {
  bool holdsSeries = false;
  std::vector<std::string> firstAired;
};
SeriesFileDates ReadSeriesFileDates(const std::string& source);

// Downloads the series document of id into record. An id that is not 1 to 10 decimal digits makes
// no request and reads as a failed download: every series field empty, no episodes, false.
bool DownloadSeries(const std::string& id, SeriesRecord& record);

// "http://" + TheTVDB host + "/api/" + access key + "/series/" + id + "/all/en.xml".
std::string GetSeriesRecordUrl(const std::string& seriesId);

// "http://" + TheTVDB host + "/banners/" + path, or empty for an empty path.
std::string ArtworkUrl(const std::string& relativePath);

}  // namespace quorvel
