#include "shows/SeriesRecord.h"

#include "core/NoThrow.h"
#include "core/NumericText.h"
#include "core/Places.h"
#include "core/XmlDocument.h"
#include "core/XmlScanner.h"

namespace quorvel {
namespace {

constexpr const char* kAccessKey = "9F41B2D07E6A3C15";

std::optional<XmlDocument> BuildSeriesFile(const SeriesRecord& record) {
  std::optional<XmlDocument> document = XmlDocument::NewDataDocument();
  if (!document) return std::nullopt;
  const XmlNode root = document->Root();
  const XmlNode series = document->AppendElement(root, "Series");
  if (!series) return std::nullopt;
  document->AppendLineBreak(series);
  document->AppendFieldElements(series, record.fieldMap());
  document->AppendLineBreak(series);
  for (const EpisodeInfo& episode : record.episodes) {
    const XmlNode element = document->AppendElement(root, "Episode");
    if (!element) return std::nullopt;
    document->AppendFieldElements(element, episode.fieldMap());
  }
  return document;
}

}  // namespace

SeriesDocument::SeriesDocument(const std::string& source)
    : document_(XmlDocument::LoadDocument(source)) {
  const bool read = RunGuarded([&] {
    series_.ReadFrom(document_.SelectSingleNode("Data/Series"));
    episodes_ = document_.SelectNodes("Data/Episode");
  });
  if (!read) episodes_.clear();  // out of memory: no episodes
}

std::string SeriesDocument::FirstAired(std::size_t i) const {
  return i < episodes_.size() ? ReadChildText(episodes_[i], "FirstAired") : std::string();
}

EpisodeInfo SeriesDocument::Episode(std::size_t i) const {
  EpisodeInfo episode;
  if (i < episodes_.size()) episode.ReadFrom(episodes_[i]);
  return episode;
}

std::vector<std::string> ReadEpisodeFirstAired(const std::string& source) {
  return StreamChildTexts(source, "Data", "Episode", "FirstAired");
}

SeriesFileDates ReadSeriesFileDates(const std::string& source) {
  static constexpr ChildTextPath kPaths[] = {{"Series", "id"}, {"Episode", "FirstAired"}};
  std::vector<std::vector<std::string>> texts = StreamChildTexts(source, "Data", kPaths);
  return {!texts[0].empty(), std::move(texts[1])};
}

bool SeriesRecord::ReadSeriesDocument(const std::string& source) {
  episodes.clear();
  const XmlDocument document = XmlDocument::LoadDocument(source);
  // Out of memory: false, and the episodes read so far stay.
  return NoThrow(false, [&] {
    ReadFrom(document.SelectSingleNode("Data/Series"));
    const std::vector<XmlNode> nodes = document.SelectNodes("Data/Episode");
    if (nodes.empty()) return false;
    episodes.reserve(nodes.size());
    for (XmlNode node : nodes) episodes.emplace_back().ReadFrom(node);
    return true;
  });
}

bool SeriesRecord::WriteSeriesFile(const std::string& folder) const {
  // The id names the file; anything but plain digits could name a file elsewhere.
  if (!IsSeriesId(id) || folder.empty()) return false;
  return NoThrow(false, [&] {
    const std::optional<XmlDocument> document = BuildSeriesFile(*this);
    return document && document->Save(folder + id + ".xml");
  });
}

std::string SeriesRecord::SeriesFileText() const {
  return NoThrow(std::string(), [&] {
    const std::optional<XmlDocument> document = BuildSeriesFile(*this);
    return document ? document->Serialize() : std::string();
  });
}

bool DownloadSeries(const std::string& id, SeriesRecord& record) {
  if (!IsSeriesId(id)) {
    // Reads as a download that failed, without asking any server.
    static_cast<SeriesInfo&>(record) = SeriesInfo{};
    record.episodes.clear();
    return false;
  }
  return record.ReadSeriesDocument(GetSeriesRecordUrl(id));
}

std::string GetSeriesRecordUrl(const std::string& seriesId) {
  return "http://" + TvdbHost() + "/api/" + kAccessKey + "/series/" + seriesId + "/all/en.xml";
}

std::string ArtworkUrl(const std::string& relativePath) {
  if (relativePath.empty()) return {};
  return "http://" + TvdbHost() + "/banners/" + relativePath;
}

}  // namespace quorvel
