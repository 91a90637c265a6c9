#include "shows/Records.h"

namespace quorvel {

FieldMap FavoriteShow::fieldMap() const {
  static const std::pair<const char*, std::string FavoriteShow::*> kTable[] = {
      {"DateAdded", &FavoriteShow::DateAdded},
      {"PathToDetails", &FavoriteShow::PathToDetails},
      {"seriesid", &FavoriteShow::seriesid},
  };
  return FieldMap::Bind(*this, kTable);
}

FieldMap SeriesInfo::fieldMap() const {
  static const std::pair<const char*, std::string SeriesInfo::*> kTable[] = {
      {"Actors", &SeriesInfo::Actors},           {"Airs_DayOfWeek", &SeriesInfo::Airs_DayOfWeek},
      {"Airs_Time", &SeriesInfo::Airs_Time},     {"Genre", &SeriesInfo::Genre},
      {"IMDB_ID", &SeriesInfo::IMDB_ID},         {"Network", &SeriesInfo::Network},
      {"Overview", &SeriesInfo::Overview},       {"SeriesName", &SeriesInfo::SeriesName},
      {"Status", &SeriesInfo::Status},           {"banner", &SeriesInfo::banner},
      {"fanart", &SeriesInfo::fanart},           {"id", &SeriesInfo::id},
      {"lastupdated", &SeriesInfo::lastupdated}, {"poster", &SeriesInfo::poster},
  };
  return FieldMap::Bind(*this, kTable);
}

FieldMap EpisodeInfo::fieldMap() const {
  static const std::pair<const char*, std::string EpisodeInfo::*> kTable[] = {
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
  return FieldMap::Bind(*this, kTable);
}

FieldMap RssItem::fieldMap() const {
  static const std::pair<const char*, std::string RssItem::*> kTable[] = {
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
  return FieldMap::Bind(*this, kTable);
}

}  // namespace quorvel
