#include "shows/Records.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/NumericText.h"
#include "shows/RssChannel.h"
#include "shows/SeriesRecord.h"

namespace quorvel {
namespace {

std::vector<std::string> Names(const FieldMap& map) {
  std::vector<std::string> names;
  for (const auto& [name, field] : map) names.emplace_back(name);
  return names;
}

std::vector<std::string> Values(const FieldMap& map) {
  std::vector<std::string> values;
  for (const auto& [name, field] : map) values.push_back(*field);
  return values;
}

TEST(FieldMapTest, OrdersAreByteOrderOfTheElementNames) {
  EXPECT_EQ(Names(FavoriteShow{}.fieldMap()),
            (std::vector<std::string>{"DateAdded", "PathToDetails", "seriesid"}));
  EXPECT_EQ(Names(SeriesInfo{}.fieldMap()),
            (std::vector<std::string>{"Actors", "Airs_DayOfWeek", "Airs_Time", "Genre", "IMDB_ID",
                                      "Network", "Overview", "SeriesName", "Status", "banner",
                                      "fanart", "id", "lastupdated", "poster"}));
  EXPECT_EQ(Names(EpisodeInfo{}.fieldMap()),
            (std::vector<std::string>{"Combined_episodenumber", "Combined_season", "EpisodeName",
                                      "EpisodeNumber", "FirstAired", "GuestStars", "IMDB_ID",
                                      "Overview", "SeasonNumber", "absolute_number", "filename",
                                      "id", "lastupdated"}));
  EXPECT_EQ(Names(RssItem{}.fieldMap()),
            (std::vector<std::string>{"description", "enclosure", "guid", "link", "pubDate",
                                      "showrss:episode", "showrss:infohash", "showrss:rawtitle",
                                      "showrss:showid", "showrss:showname", "title"}));
  EXPECT_EQ(Names(RssChannel{}.fieldMap()),
            (std::vector<std::string>{"description", "link", "title", "ttl"}));
  EXPECT_EQ(Names(SeriesRecord{}.fieldMap()), Names(SeriesInfo{}.fieldMap()));
}

TEST(FieldMapTest, EveryOrderIsSortedAndEveryFieldIsMappedOnce) {
  for (const FieldMap& map : {FavoriteShow{}.fieldMap(), SeriesInfo{}.fieldMap(),
                              EpisodeInfo{}.fieldMap(), RssItem{}.fieldMap()}) {
    const std::vector<std::string> names = Names(map);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    std::vector<const std::string*> fields;
    for (const auto& [name, field] : map) fields.push_back(field);
    std::sort(fields.begin(), fields.end());
    EXPECT_EQ(std::adjacent_find(fields.begin(), fields.end()), fields.end());
  }
}

TEST(FieldMapTest, ADefaultRecordMapsEveryFieldToEmptyText) {
  EXPECT_EQ(Values(SeriesInfo{}.fieldMap()), std::vector<std::string>(14));
  EXPECT_EQ(Values(EpisodeInfo{}.fieldMap()), std::vector<std::string>(13));
}

TEST(FieldMapTest, ACopysMapRefersToTheCopysOwnFields) {
  EpisodeInfo original;
  original.EpisodeName = "Original";
  EpisodeInfo copy = original;
  copy.EpisodeName = "Copy";
  EXPECT_EQ(original.EpisodeName, "Original");
  EXPECT_EQ(Values(copy.fieldMap())[2], "Copy");
  EXPECT_EQ(Values(original.fieldMap())[2], "Original");
}

TEST(FieldMapTest, AnAssignedRecordOutlivesItsSource) {
  EpisodeInfo target;
  {
    auto source = std::make_unique<EpisodeInfo>();
    source->id = "42";
    source->FirstAired = "2012-05-03";
    target = *source;
  }
  const std::vector<std::string> values = Values(target.fieldMap());
  EXPECT_EQ(values[4], "2012-05-03");
  EXPECT_EQ(values[11], "42");
}

TEST(FieldMapTest, AFavouriteCopyKeepsItsOwnValues) {
  FavoriteShow first;
  first.seriesid = "1";
  FavoriteShow second(first);
  second.seriesid = "2";
  EXPECT_EQ(Values(first.fieldMap())[2], "1");
  EXPECT_EQ(Values(second.fieldMap())[2], "2");
}

TEST(NumericTextTest, ConvertsAsStrtolInBaseTen) {
  const struct {
    const char* text;
    int32_t value;
  } rows[] = {
      {" 12x", 12},
      {"", 0},
      {"abc", 0},
      {"0", 0},
      {"-5", -5},
      {"+7", 7},
      {"\t\n 3", 3},
      {"007", 7},
      {"0x1A", 0},
      {"1.0", 1},
      {"3abc", 3},
      {"- 5", 0},
      {"2147483647", 2147483647},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
      {"\xd9\xa3", 0},
  };
  for (const auto& row : rows) EXPECT_EQ(TextToInt(row.text), row.value) << '"' << row.text << '"';
}

TEST(NumericTextTest, IntegersTravelAsDecimalText) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-1), "-1");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
}

TEST(NumericTextTest, SeriesIdsArePlainDigitsOnly) {
  for (const char* id : {"1", "73", "80001", "0", "1234567890"}) EXPECT_TRUE(IsSeriesId(id)) << id;
  for (const char* id :
       {"", "-5", "+5", " 5", "5 ", "../x", "1/2", "12345678901", "5a", "\xd9\xa3"})
    EXPECT_FALSE(IsSeriesId(id)) << id;
}

}  // namespace
}  // namespace quorvel
