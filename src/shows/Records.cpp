#include "shows/Records.h"

#include <array>

namespace quorvel {
namespace {

template <class Record>
using FieldTable = std::pair<const char*, std::string Record::*>;

// Names sorted by byte, as the writers serialise them.
const FieldTable<FavoriteShow> kFavoriteFields[] = {
    {"DateAdded", &FavoriteShow::DateAdded},
    {"PathToDetails", &FavoriteShow::PathToDetails},
    {"seriesid", &FavoriteShow::seriesid},
};

const FieldTable<SeriesInfo> kSeriesFields[] = {
    {"Actors", &SeriesInfo::Actors},           {"Airs_DayOfWeek", &SeriesInfo::Airs_DayOfWeek},
    {"Airs_Time", &SeriesInfo::Airs_Time},     {"Genre", &SeriesInfo::Genre},
    {"IMDB_ID", &SeriesInfo::IMDB_ID},         {"Network", &SeriesInfo::Network},
    {"Overview", &SeriesInfo::Overview},       {"SeriesName", &SeriesInfo::SeriesName},
    {"Status", &SeriesInfo::Status},           {"banner", &SeriesInfo::banner},
    {"fanart", &SeriesInfo::fanart},           {"id", &SeriesInfo::id},
    {"lastupdated", &SeriesInfo::lastupdated}, {"poster", &SeriesInfo::poster},
};

const FieldTable<EpisodeInfo> kEpisodeFields[] = {
    {"Combined_episodenumber", &EpisodeInfo::Combined_episodenumber},
    {"Combined_season", &EpisodeInfo::Combined_season},
    {"EpisodeName", &EpisodeInfo::EpisodeName},
    {"EpisodeNumber", &EpisodeInfo::EpisodeNumber},
    {"FirstAired", &EpisodeInfo::FirstAired},
    {"GuestStars", &EpisodeInfo::GuestStars},
    {"IMDB_ID", &EpisodeInfo::IMDB_ID},
    {"Overview", &EpisodeInfo::Overview},
    {"SeasonNumber", &EpisodeInfo::SeasonNumber},
    {"absolute_number", &EpisodeInfo::absolute_number},
    {"filename", &EpisodeInfo::filename},
    {"id", &EpisodeInfo::id},
    {"lastupdated", &EpisodeInfo::lastupdated},
};

const FieldTable<RssItem> kRssItemFields[] = {
    {"description", &RssItem::description},
    {"enclosure", &RssItem::enclosure},
    {"guid", &RssItem::guid},
    {"link", &RssItem::link},
    {"pubDate", &RssItem::pubDate},
    {"showrss:episode", &RssItem::episode},
    {"showrss:infohash", &RssItem::infohash},
    {"showrss:rawtitle", &RssItem::rawtitle},
    {"showrss:showid", &RssItem::showid},
    {"showrss:showname", &RssItem::showname},
    {"title", &RssItem::title},
};

// Read only, never written.
const FieldTable<SearchResult> kSearchFields[] = {
    {"FirstAired", &SearchResult::FirstAired},
    {"IMDB_ID", &SearchResult::IMDB_ID},
    {"Network", &SearchResult::Network},
    {"Overview", &SearchResult::Overview},
    {"SeriesName", &SearchResult::SeriesName},
    {"banner", &SearchResult::banner},
    {"id", &SearchResult::id},
    {"seriesid", &SearchResult::seriesid},
};

template <class Record, std::size_t N>
void ReadTable(XmlNode node, Record& record, const FieldTable<Record> (&table)[N]) {
  std::array<ChildTextField, N> fields;
  for (std::size_t i = 0; i < N; ++i) fields[i] = {table[i].first, &(record.*table[i].second)};
  ReadChildTexts(node, fields);
}

}  // namespace

FieldMap FavoriteShow::fieldMap() const {
  return FieldMap::Bind(*this, kFavoriteFields);
}
void FavoriteShow::ReadFrom(XmlNode node) {
  ReadTable(node, *this, kFavoriteFields);
}

FieldMap SeriesInfo::fieldMap() const {
  return FieldMap::Bind(*this, kSeriesFields);
}
void SeriesInfo::ReadFrom(XmlNode node) {
  ReadTable(node, *this, kSeriesFields);
}

FieldMap EpisodeInfo::fieldMap() const {
  return FieldMap::Bind(*this, kEpisodeFields);
}
void EpisodeInfo::ReadFrom(XmlNode node) {
  ReadTable(node, *this, kEpisodeFields);
}

FieldMap RssItem::fieldMap() const {
  return FieldMap::Bind(*this, kRssItemFields);
}

void SearchResult::ReadFrom(XmlNode node) {
  ReadTable(node, *this, kSearchFields);
}

}  // namespace quorvel
