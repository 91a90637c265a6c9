#pragma once

// The plain records of everything read from XML. Every field is text, exactly as read. Each
// stored record has one table of element names (Records.cpp): it drives both the reader
// (ReadFrom) and the writer (fieldMap), so a field cannot be written and not read, or the reverse.

#include <string>
#include <vector>

#include "core/FieldMap.h"
#include "core/XmlDocument.h"

namespace quorvel {

// One entry of favorites.xml.
struct FavoriteShow {
  std::string seriesid;
  std::string DateAdded;
  std::string PathToDetails;

  FieldMap fieldMap() const;
  // Every field from the first child element of its name (empty when absent).
  void ReadFrom(XmlNode node);
};

// The fields of one Series element of a series document.
struct SeriesInfo {
  std::string id;
  std::string Airs_DayOfWeek;
  std::string Airs_Time;
  std::string Genre;
  std::string Network;
  std::string Status;
  std::string banner;
  std::string fanart;
  std::string poster;
  std::string lastupdated;
  std::string IMDB_ID;
  std::string Overview;
  std::string Actors;
  std::string SeriesName;

  FieldMap fieldMap() const;
  // Every field from the first child element of its name (empty when absent).
  void ReadFrom(XmlNode node);
};

// The fields of one Episode element of a series document.
struct EpisodeInfo {
  std::string id;
  std::string Combined_episodenumber;
  std::string Combined_season;
  std::string EpisodeName;
  std::string EpisodeNumber;
  std::string FirstAired;
  std::string GuestStars;
  std::string SeasonNumber;
  std::string absolute_number;
  std::string filename;
  std::string lastupdated;
  std::string Overview;
  std::string IMDB_ID;

  FieldMap fieldMap() const;
  // Every field from the first child element of its name (empty when absent).
  void ReadFrom(XmlNode node);
};

// One hit of the series search; never written back, so it has no field map.
struct SearchResult {
  std::string id;
  std::string seriesid;
  std::string banner;
  std::string IMDB_ID;
  std::string Overview;
  std::string SeriesName;
  std::string FirstAired;
  std::string Network;

  void ReadFrom(XmlNode node);
};

// One item of the release feed.
struct RssItem {
  std::string title;
  std::string link;
  std::string guid;
  std::string pubDate;
  std::string description;
  std::string showid;
  std::string showname;
  std::string episode;
  std::string infohash;
  std::string rawtitle;
  std::string enclosure;

  FieldMap fieldMap() const;
};

}  // namespace quorvel
