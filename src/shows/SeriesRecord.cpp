#include "shows/SeriesRecord.h"

#include "app/Hosts.h"
#include "app/Paths.h"
#include "shows/NumericText.h"
#include "shows/XmlDocument.h"

namespace quorvel {
namespace {

void ReadSeriesFields(XmlNode series, SeriesInfo& info) {
  info.id = ReadChildText(series, "id");
  info.Airs_DayOfWeek = ReadChildText(series, "Airs_DayOfWeek");
  info.Airs_Time = ReadChildText(series, "Airs_Time");
  info.banner = ReadChildText(series, "banner");
  info.fanart = ReadChildText(series, "fanart");
  info.poster = ReadChildText(series, "poster");
  info.Genre = ReadChildText(series, "Genre");
  info.IMDB_ID = ReadChildText(series, "IMDB_ID");
  info.lastupdated = ReadChildText(series, "lastupdated");
  info.Network = ReadChildText(series, "Network");
  info.Overview = ReadChildText(series, "Overview");
  info.Actors = ReadChildText(series, "Actors");
  info.SeriesName = ReadChildText(series, "SeriesName");
  info.Status = ReadChildText(series, "Status");
}

EpisodeInfo ReadEpisode(XmlNode node) {
  EpisodeInfo episode;
  episode.id = ReadChildText(node, "id");
  episode.Combined_episodenumber = ReadChildText(node, "Combined_episodenumber");
  episode.Combined_season = ReadChildText(node, "Combined_season");
  episode.EpisodeName = ReadChildText(node, "EpisodeName");
  episode.EpisodeNumber = ReadChildText(node, "EpisodeNumber");
  episode.filename = ReadChildText(node, "filename");
  episode.FirstAired = ReadChildText(node, "FirstAired");
  episode.GuestStars = ReadChildText(node, "GuestStars");
  episode.IMDB_ID = ReadChildText(node, "IMDB_ID");
  episode.lastupdated = ReadChildText(node, "lastupdated");
  episode.Overview = ReadChildText(node, "Overview");
  episode.SeasonNumber = ReadChildText(node, "SeasonNumber");
  episode.absolute_number = ReadChildText(node, "absolute_number");
  return episode;
}

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

bool SeriesRecord::ReadSeriesDocument(const std::string& source) {
  episodes.clear();
  const XmlDocument document = XmlDocument::LoadDocument(source);
  try {
    ReadSeriesFields(document.SelectSingleNode("Data/Series"), *this);
    const std::vector<XmlNode> nodes = document.SelectNodes("Data/Episode");
    if (nodes.empty()) return false;
    for (XmlNode node : nodes) episodes.push_back(ReadEpisode(node));
    return true;
  } catch (...) {
    return false;  // out of memory: the episodes read so far stay
  }
}

bool SeriesRecord::WriteSeriesFile(const std::string& folder) const {
  // The id names the file; anything but plain digits could name a file elsewhere.
  if (!IsSeriesId(id) || folder.empty()) return false;
  try {
    const std::optional<XmlDocument> document = BuildSeriesFile(*this);
    return document && document->Save(folder + id + ".xml");
  } catch (...) {
    return false;
  }
}

std::string SeriesRecord::SeriesFileText() const {
  try {
    const std::optional<XmlDocument> document = BuildSeriesFile(*this);
    return document ? document->Serialize() : std::string();
  } catch (...) {
    return {};
  }
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

std::string ArtworkUrl(const std::string& relativePath) {
  if (relativePath.empty()) return {};
  return "http://" + TvdbHost() + "/banners/" + relativePath;
}

}  // namespace quorvel
