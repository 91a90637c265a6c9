// TVmaze's JSON turned into TheTVDB's legacy records and XML.

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/LegacyXml.h"
#include "catalogue/ShowUpdates.h"
#include "catalogue/TvmazeMapping.h"
#include "support/Sandbox.h"

namespace quorvel::catalogue {
namespace {

using test::ReadFile;

std::string Fixture(const std::string& name) {
  return ReadFile(std::string(QUORVEL_TESTS_DIR) + "/fixtures/tvmaze/" + name);
}

// A show as the catalogue keeps it: TVmaze's show answer with its episode list joined in.
std::string ShowEntry(const std::string& id) {
  const auto entry =
      ShowWithEpisodes(Fixture("show_" + id + ".json"), Fixture("show_" + id + "_episodes.json"));
  return entry.value_or("");
}

class CatalogueMappingTest : public test::SandboxedTest {};

TEST_F(CatalogueMappingTest, SearchHitsKeepTvmazeOrderAndFields) {
  const auto results = MapSearchResults(Fixture("search_dome.json"));
  ASSERT_TRUE(results.has_value());
  ASSERT_EQ(results->size(), 3u);

  const SearchResult& dome = (*results)[0];
  EXPECT_EQ(dome.id, "1");
  EXPECT_EQ(dome.seriesid, "1");
  EXPECT_EQ(dome.SeriesName, "Under the Dome");
  EXPECT_EQ(dome.banner, "uploads/images/medium_portrait/81/202627.jpg");
  EXPECT_EQ(dome.FirstAired, "2013-06-24");
  EXPECT_EQ(dome.Network, "CBS");
  EXPECT_EQ(dome.IMDB_ID, "tt1553656");
  EXPECT_EQ(dome.Overview.rfind("Under the Dome is the story of a small town", 0), 0u);
  EXPECT_NE(dome.Overview.find("The town's inhabitants"), std::string::npos);
  EXPECT_EQ(dome.Overview.find('<'), std::string::npos);

  // Null image, null premiere, null summary, web channel instead of a network.
  const SearchResult& web = (*results)[1];
  EXPECT_EQ(web.id, "44778");
  EXPECT_EQ(web.SeriesName, "Dome Street & <Friends>");
  EXPECT_EQ(web.banner, "");
  EXPECT_EQ(web.FirstAired, "");
  EXPECT_EQ(web.Overview, "");
  EXPECT_EQ(web.Network, "Netflix");
  EXPECT_EQ(web.IMDB_ID, "");

  // An empty network name gives way to the web channel; a missing medium image to the original.
  const SearchResult& nights = (*results)[2];
  EXPECT_EQ(nights.Network, "Prime Video");
  EXPECT_EQ(nights.banner, "uploads/images/original_untouched/9/9001.png");
}

TEST_F(CatalogueMappingTest, SearchAnswersThatAreNotHitArraysAreRejected) {
  const std::vector<std::string> rejected = {"",  "{}",       "null",       "42",
                                             "[", "not json", "{\"id\":1}", std::string(200, '[')};
  for (const std::string& json : rejected) EXPECT_FALSE(MapSearchResults(json)) << json;
  // Hits without a usable show are skipped, not fatal.
  const auto some =
      MapSearchResults(R"([{"score":1},{"score":1,"show":null},{"score":1,"show":{"id":"x"}},)"
                       R"({"score":1,"show":{"id":7,"name":"Seven"}}, 3, "text"])");
  ASSERT_TRUE(some.has_value());
  ASSERT_EQ(some->size(), 1u);
  EXPECT_EQ((*some)[0].id, "7");
  EXPECT_EQ((*some)[0].SeriesName, "Seven");
  ASSERT_TRUE(MapSearchResults("[]"));
  EXPECT_TRUE(MapSearchResults("[]")->empty());
}

TEST_F(CatalogueMappingTest, ShowFieldsMapOntoTheSeriesRecord) {
  const auto record = MapShow(ShowEntry("1"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->id, "1");
  EXPECT_EQ(record->SeriesName, "Under the Dome");
  EXPECT_EQ(record->Network, "CBS");
  EXPECT_EQ(record->Genre, "|Drama|Science-Fiction|Thriller|");
  EXPECT_EQ(record->Status, "Ended");
  EXPECT_EQ(record->Airs_Time, "22:00");
  EXPECT_EQ(record->Airs_DayOfWeek, "Thursday");
  EXPECT_EQ(record->IMDB_ID, "tt1553656");
  EXPECT_EQ(record->poster, "uploads/images/medium_portrait/81/202627.jpg");
  EXPECT_EQ(record->banner, record->poster);
  EXPECT_EQ(record->fanart, "");
  EXPECT_EQ(record->Actors, "");
  EXPECT_EQ(record->lastupdated, "1704794122");
  EXPECT_EQ(record->Overview,
            "Under the Dome is the story of a small town that is suddenly sealed off by an "
            "enormous transparent dome.");
}

TEST_F(CatalogueMappingTest, EpisodesMapInOrderWithTheirNumbersAndArtwork) {
  const auto record = MapShow(ShowEntry("1"));
  ASSERT_TRUE(record.has_value());
  ASSERT_EQ(record->episodes.size(), 5u);
  const EpisodeInfo& pilot = record->episodes[0];
  EXPECT_EQ(pilot.id, "1");
  EXPECT_EQ(pilot.SeasonNumber, "1");
  EXPECT_EQ(pilot.Combined_season, "1");
  EXPECT_EQ(pilot.EpisodeNumber, "1");
  EXPECT_EQ(pilot.Combined_episodenumber, "1");
  EXPECT_EQ(pilot.EpisodeName, "Pilot");
  EXPECT_EQ(pilot.filename, "uploads/images/medium_landscape/1/4388.jpg");
  EXPECT_EQ(pilot.FirstAired, "2013-06-25");  // UTC in the sandbox

  const EpisodeInfo& fire = record->episodes[1];
  EXPECT_EQ(fire.filename, "");
  EXPECT_EQ(fire.Overview,
            "While the residents adjust to life under the dome\u2026 Barbie & Julia\nlook for "
            "answers.");

  const std::vector<std::string> ids = {"1", "2", "3", "4", "5"};
  const std::vector<std::string> seasons = {"1", "1", "1", "2", "2"};
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(record->episodes[i].id, ids[i]);
    EXPECT_EQ(record->episodes[i].Combined_season, seasons[i]);
  }
  EXPECT_EQ(record->episodes[4].Overview, "Big Jim <3 Junior.");
}

TEST_F(CatalogueMappingTest, EpisodeDatesFollowTheLocalTimeZone) {
  struct Row {
    const char* zone;
    std::vector<std::string> dates;  // episodes 1..5
  };
  // Episode 1 airs at 02:00 UTC: the evening before in New York, the same day in Berlin.
  // Episode 3 has only an airdate, episode 4 nothing at all.
  const Row rows[] = {
      {"UTC", {"2013-06-25", "2013-07-02", "2013-07-08", "", "2014-07-01"}},
      {"America/New_York", {"2013-06-24", "2013-07-01", "2013-07-08", "", "2014-06-30"}},
      {"Europe/Berlin", {"2013-06-25", "2013-07-02", "2013-07-08", "", "2014-07-01"}},
      {"Pacific/Auckland", {"2013-06-25", "2013-07-02", "2013-07-08", "", "2014-07-01"}},
      {"Pacific/Honolulu", {"2013-06-24", "2013-07-01", "2013-07-08", "", "2014-06-30"}},
  };
  const std::string json = ShowEntry("1");
  for (const Row& row : rows) {
    SetTimeZone(row.zone);
    const auto record = MapShow(json);
    ASSERT_TRUE(record.has_value());
    for (std::size_t i = 0; i < row.dates.size(); ++i)
      EXPECT_EQ(record->episodes[i].FirstAired, row.dates[i]) << row.zone << " episode " << i + 1;
  }
}

TEST_F(CatalogueMappingTest, LocalAirDateRules) {
  struct Row {
    const char* zone;
    const char* airstamp;
    const char* airdate;
    const char* expected;
  };
  const Row rows[] = {
      {"UTC", "2024-03-10T23:30:00+00:00", "2024-03-10", "2024-03-10"},
      {"Europe/Berlin", "2024-03-10T23:30:00+00:00", "2024-03-10", "2024-03-11"},
      {"America/New_York", "2024-03-10T05:30:00+00:00", "2024-03-10", "2024-03-10"},
      {"America/New_York", "2024-03-10T04:30:00+00:00", "2024-03-10", "2024-03-09"},
      {"Asia/Kolkata", "2024-01-01T20:00:00-05:00", "2024-01-01", "2024-01-02"},
      {"UTC", "2024-01-01T20:00:00Z", "", "2024-01-01"},
      {"UTC", "", "2020-05-06", "2020-05-06"},
      {"UTC", "garbage", "2020-05-06", "2020-05-06"},
      {"UTC", "2020-05-06T10:00:00", "2020-05-06", "2020-05-06"},  // no offset: the airdate
      {"UTC", "", "", ""},
  };
  for (const Row& row : rows) {
    SetTimeZone(row.zone);
    EXPECT_EQ(LocalAirDate(row.airstamp, row.airdate), row.expected)
        << row.zone << " " << row.airstamp;
  }
}

TEST_F(CatalogueMappingTest, ShowsWithoutNetworkImageOrEpisodes) {
  const auto record = MapShow(Fixture("show_44778.json"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->Network, "Netflix");
  EXPECT_EQ(record->Genre, "");
  EXPECT_EQ(record->poster, "");
  EXPECT_EQ(record->Airs_DayOfWeek, "");
  EXPECT_EQ(record->Airs_Time, "");
  EXPECT_EQ(record->IMDB_ID, "");
  EXPECT_TRUE(record->episodes.empty());

  for (const char* json : {"[]", "{}", "{\"id\":null}", "{\"id\":\"12a\"}", "{\"name\":\"x\"}",
                           "{\"id\":-3}", "{\"id\":12345678901}"})
    EXPECT_FALSE(MapShow(json)) << json;
  // Episodes that are not objects or have no id are left out.
  const auto odd = MapShow(
      R"({"id":5,"_embedded":{"episodes":[1,null,{"name":"no id"},{"id":9,"season":1,"number":null}]}})");
  ASSERT_TRUE(odd.has_value());
  ASSERT_EQ(odd->episodes.size(), 1u);
  EXPECT_EQ(odd->episodes[0].Combined_season, "0");  // a number of null makes it a special
}

TEST_F(CatalogueMappingTest, HtmlSummariesBecomePlainText) {
  struct Row {
    const char* html;
    const char* text;
  };
  const Row rows[] = {
      {"", ""},
      {"   ", ""},
      {"Plain words", "Plain words"},
      {"<p>One</p>", "One"},
      {"<p><b>Bold</b> and <i>italic</i></p>", "Bold and italic"},
      {"<p>One</p><p>Two</p>", "One\nTwo"},
      {"<p>Line<br>break</p>", "Line\nbreak"},
      {"<p>Line<br/>break<br />again</p>", "Line\nbreak\nagain"},
      {"<p>Tom &amp; Jerry &lt;3 &quot;cheese&quot; &#39;n&#39; &#x41;</p>",
       "Tom & Jerry <3 \"cheese\" 'n' A"},
      {"<p>Wait&hellip; it&rsquo;s &eacute;t&eacute;&nbsp;now</p>",
       "Wait\u2026 it\u2019s \u00e9t\u00e9 now"},
      {"<p>  lots \n of\t\tspace  </p>", "lots of space"},
      {"<p>Unclosed <b>bold", "Unclosed bold"},
      {"<script>alert(1)</script><p>Safe</p>", "Safe"},
      {"<ul><li>a</li><li>b</li></ul>", "a\nb"},
      {"a < b and c > d", "a < b and c > d"},
      {"<p>&#128512; smile</p>", "\U0001F600 smile"},
  };
  for (const Row& row : rows) EXPECT_EQ(HtmlToPlainText(row.html), row.text) << row.html;
}

TEST_F(CatalogueMappingTest, ArtworkPathsComeOnlyFromSafeImageUrls) {
  struct Row {
    const char* url;
    const char* path;
  };
  const Row rows[] = {
      {"https://static.tvmaze.com/uploads/images/medium_portrait/1/4388.jpg",
       "uploads/images/medium_portrait/1/4388.jpg"},
      {"http://static.tvmaze.com/uploads/a.png", "uploads/a.png"},
      {"https://static.tvmaze.com/uploads/a.jpg?v=2#x", "uploads/a.jpg"},
      {"", ""},
      {"ftp://static.tvmaze.com/uploads/a.jpg", ""},
      {"file:///etc/passwd", ""},
      {"https://static.tvmaze.com", ""},
      {"https://static.tvmaze.com/", ""},
      {"https://static.tvmaze.com/uploads/../../etc/passwd", ""},
      {"https://static.tvmaze.com/uploads//a.jpg", ""},
      {"https://static.tvmaze.com/uploads/a%20b.jpg", ""},
      {"https://static.tvmaze.com/uploads/<script>.jpg", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(ArtworkPathOf(row.url), row.path) << row.url;
  EXPECT_TRUE(IsSafeArtworkPath("a/b-c_d.e/1.jpg"));
  for (const char* bad : {"", "/a", "a/", "a/./b", "..", "a\\b", "a?b", "a b"})
    EXPECT_FALSE(IsSafeArtworkPath(bad)) << bad;
}

TEST_F(CatalogueMappingTest, ScheduleDaysAndGenres) {
  EXPECT_EQ(DaysOfWeekText({}), "");
  EXPECT_EQ(DaysOfWeekText({"Monday"}), "Monday");
  EXPECT_EQ(DaysOfWeekText({"Monday", "Friday"}), "Monday, Friday");
  EXPECT_EQ(DaysOfWeekText(
                {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}),
            "Daily");
  const auto record = MapShow(R"({"id":3,"genres":["Drama",null,"",5,"Crime"]})");
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->Genre, "|Drama|Crime|");
}

TEST_F(CatalogueMappingTest, NestingGuard) {
  EXPECT_TRUE(NestingWithin("[[[]]]", 3));
  EXPECT_FALSE(NestingWithin("[[[[]]]]", 3));
  EXPECT_TRUE(NestingWithin(R"(["[[[[[[", {"a":"{{{{{"}])", 2));
  EXPECT_TRUE(NestingWithin(R"(["\"[[[["])", 1));
}

// ---- XML

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

XmlDocPtr ParseStrict(const std::string& xml) {
  return XmlDocPtr(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

std::vector<xmlNode*> Children(xmlNode* parent, const char* name) {
  std::vector<xmlNode*> found;
  for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
      found.push_back(child);
  return found;
}

std::vector<std::string> ChildNames(xmlNode* parent) {
  std::vector<std::string> names;
  for (xmlNode* child = parent->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE)
      names.emplace_back(reinterpret_cast<const char*>(child->name));
  return names;
}

std::string Text(xmlNode* parent, const char* name) {
  const auto found = Children(parent, name);
  if (found.empty()) return "<missing>";
  xmlChar* content = xmlNodeGetContent(found[0]);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

TEST_F(CatalogueMappingTest, SearchAnswerXmlCarriesTheFieldsTheSearchReads) {
  SearchResult hit;
  hit.id = "44778";
  hit.seriesid = "44778";
  hit.SeriesName = "Dome Street & <Friends> \"quoted\"";
  hit.banner = "uploads/a.jpg";
  hit.Overview = "Line one\nLine two \x01 bell";
  hit.FirstAired = "2020-01-02";
  hit.Network = "Netflix";
  hit.IMDB_ID = "tt1";
  const std::string xml = SearchAnswerXml({hit, hit});
  XmlDocPtr doc = ParseStrict(xml);
  ASSERT_TRUE(doc) << xml;
  xmlNode* root = xmlDocGetRootElement(doc.get());
  EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "Data");
  const auto series = Children(root, "Series");
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(Text(series[0], "id"), "44778");
  EXPECT_EQ(Text(series[0], "seriesid"), "44778");
  EXPECT_EQ(Text(series[0], "SeriesName"), hit.SeriesName);
  EXPECT_EQ(Text(series[0], "banner"), "uploads/a.jpg");
  EXPECT_EQ(Text(series[0], "Overview"), "Line one\nLine two  bell");
  EXPECT_EQ(Text(series[0], "FirstAired"), "2020-01-02");
  EXPECT_EQ(Text(series[0], "Network"), "Netflix");
  EXPECT_EQ(Text(series[0], "IMDB_ID"), "tt1");
}

TEST_F(CatalogueMappingTest, SeriesDocumentXmlHasTheLegacyFields) {
  auto record = MapShow(ShowEntry("1"));
  ASSERT_TRUE(record.has_value());
  record->SeriesName += " <&> \xff\xfe broken";
  XmlDocPtr doc = ParseStrict(SeriesDocumentXml(*record));
  ASSERT_TRUE(doc);
  xmlNode* root = xmlDocGetRootElement(doc.get());
  const auto series = Children(root, "Series");
  ASSERT_EQ(series.size(), 1u);
  EXPECT_EQ(ChildNames(series[0]),
            (std::vector<std::string>{"Actors", "Airs_DayOfWeek", "Airs_Time", "Genre", "IMDB_ID",
                                      "Network", "Overview", "SeriesName", "Status", "banner",
                                      "fanart", "id", "lastupdated", "poster"}));
  EXPECT_EQ(Text(series[0], "SeriesName").rfind("Under the Dome <&> ", 0), 0u);
  EXPECT_EQ(Text(series[0], "Genre"), "|Drama|Science-Fiction|Thriller|");
  const auto episodes = Children(root, "Episode");
  ASSERT_EQ(episodes.size(), 5u);
  EXPECT_EQ(ChildNames(episodes[0]),
            (std::vector<std::string>{"Combined_episodenumber", "Combined_season", "EpisodeName",
                                      "EpisodeNumber", "FirstAired", "GuestStars", "IMDB_ID",
                                      "Overview", "SeasonNumber", "absolute_number", "filename",
                                      "id", "lastupdated"}));
  EXPECT_EQ(Text(episodes[1], "EpisodeName"), "The Fire");
  EXPECT_EQ(Text(episodes[0], "filename"), "uploads/images/medium_landscape/1/4388.jpg");
}

TEST_F(CatalogueMappingTest, EmptyAnswerIsDataWithoutChildren) {
  XmlDocPtr doc = ParseStrict(EmptyAnswerXml());
  ASSERT_TRUE(doc);
  xmlNode* root = xmlDocGetRootElement(doc.get());
  EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "Data");
  EXPECT_TRUE(ChildNames(root).empty());
}

TEST_F(CatalogueMappingTest, XmlSafeTextDropsWhatXmlCannotCarry) {
  EXPECT_EQ(XmlSafeText("plain"), "plain");
  EXPECT_EQ(XmlSafeText(std::string("a\0b", 3)), "ab");
  EXPECT_EQ(XmlSafeText("tab\tnl\ncr\r"), "tab\tnl\ncr\r");
  EXPECT_EQ(XmlSafeText("bell\x07"), "bell");
  EXPECT_EQ(XmlSafeText("\xEF\xBF\xBE"), "");  // U+FFFE
  EXPECT_EQ(XmlSafeText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(XmlSafeText("bad\xC3"), "bad\xEF\xBF\xBD");
}

TEST_F(CatalogueMappingTest, SpecialsBecomeSeasonZeroFirstInAirOrder) {
  const auto record = MapShow(ShowEntry("77"));
  ASSERT_TRUE(record.has_value());
  struct Row {
    const char* id;
    const char* season;
    const char* number;
  };
  // Specials by airstamp, an airdate alone counting from its midnight UTC, the two listed at the
  // same time in TVmaze's order, the undated one last; then the regular episodes as listed.
  const Row rows[] = {
      {"7702", "0", "1"}, {"7701", "0", "2"}, {"7707", "0", "3"}, {"7708", "0", "4"},
      {"7706", "0", "5"}, {"7704", "0", "6"}, {"7703", "0", "7"}, {"7711", "1", "1"},
      {"7712", "1", "2"}, {"7721", "2", "1"}, {"7722", "2", "2"},
  };
  ASSERT_EQ(record->episodes.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const EpisodeInfo& episode = record->episodes[i];
    EXPECT_EQ(episode.id, rows[i].id) << i;
    EXPECT_EQ(episode.SeasonNumber, rows[i].season) << rows[i].id;
    EXPECT_EQ(episode.Combined_season, rows[i].season) << rows[i].id;
    EXPECT_EQ(episode.EpisodeNumber, rows[i].number) << rows[i].id;
    EXPECT_EQ(episode.Combined_episodenumber, rows[i].number) << rows[i].id;
    EXPECT_EQ(episode.absolute_number, "") << rows[i].id;
  }
  EXPECT_EQ(record->episodes[1].EpisodeName, "A Hollow Christmas");
  EXPECT_EQ(record->episodes[1].FirstAired, "2021-12-25");  // UTC in the sandbox
  EXPECT_EQ(record->episodes[6].FirstAired, "");

  // A show without specials keeps its episodes exactly as listed.
  const auto dome = MapShow(ShowEntry("1"));
  ASSERT_TRUE(dome.has_value());
  for (const EpisodeInfo& episode : dome->episodes) EXPECT_NE(episode.Combined_season, "0");
}

TEST_F(CatalogueMappingTest, UpdatesMapKeepsIdsWithWholeTimes) {
  const auto stamps =
      MapShowUpdates(R"({"1":1704794122,"2":"1700000000","abc":5,"3":-4,"4":1.5,"5":null,"6":[]})");
  ASSERT_TRUE(stamps.has_value());
  EXPECT_EQ(stamps->size(), 2u);
  EXPECT_EQ(stamps->Find("1"), 1704794122);
  EXPECT_EQ(stamps->Find("2"), 1700000000);
  for (const char* id : {"3", "4", "abc", "", "01x"}) EXPECT_FALSE(stamps->Find(id)) << id;
  for (const char* json : {"", "[]", "42", "{", "null"}) EXPECT_FALSE(MapShowUpdates(json)) << json;
  EXPECT_EQ(MapShowUpdates("{}")->size(), 0u);
}

TEST_F(CatalogueMappingTest, WhichUpdatesMapCanVouchForACopy) {
  const int64_t now = 2000000000;
  const int64_t hour = 3600, day = 86400;
  const UpdatesTiming timing;  // maps may be an hour behind and speak for a day
  struct Row {
    int64_t copyAge;
    std::optional<std::size_t> fetched;  // the span a map fetched now would need
  };
  const Row rows[] = {
      {30 * 60, std::nullopt},  // younger than the lag: no map can know more
      {2 * hour, 0},           {20 * hour, 0},      {23 * hour + 1800, 1}, {6 * day, 1},
      {7 * day - 3 * hour, 1}, {7 * day + hour, 2}, {27 * day, 2},         {28 * day, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WindowToFetch(now - row.copyAge, now, timing), row.fetched) << row.copyAge;
    if (!row.fetched) continue;
    // A map of that span fetched now covers the copy; the next narrower one does not.
    ShowUpdatesMap map{now, *row.fetched, {}};
    EXPECT_TRUE(MapCovers(map, now - row.copyAge, now, timing)) << row.copyAge;
    if (*row.fetched > 0) {
      map.window = *row.fetched - 1;
      EXPECT_FALSE(MapCovers(map, now - row.copyAge, now, timing)) << row.copyAge;
    }
  }
  // A week map fetched five hours ago: a copy stored before it is covered, one stored after it is
  // not (the map is older than the copy), and the map itself stops counting after a day.
  const ShowUpdatesMap week{now - 5 * hour, 1, {}};
  EXPECT_TRUE(MapCovers(week, now - 3 * day, now, timing));
  EXPECT_TRUE(MapCovers(week, now - 6 * hour, now, timing));
  EXPECT_FALSE(MapCovers(week, now - 5 * hour, now, timing));
  EXPECT_FALSE(MapCovers(week, now - 2 * hour, now, timing));
  EXPECT_FALSE(MapCovers(week, now - 3 * day, now + 20 * hour, timing));

  // 1 and 2 last changed long before the copy was stored, 3 shortly before it (either of its two
  // answers may predate that change).
  const int64_t stored = now - 2 * day;
  ShowUpdatesMap map{now, 1, {}};
  map.stamps.Add(2, 1704794999);
  map.stamps.Add(1, 1704794122);
  map.stamps.Add(3, stored - 10 * 60);
  map.stamps.Seal();
  EXPECT_TRUE(UnchangedSince(map, "1", "1704794122", stored, timing));
  EXPECT_TRUE(UnchangedSince(map, "1", "1704799999", stored, timing));
  EXPECT_FALSE(UnchangedSince(map, "2", "1704794122", stored, timing));
  EXPECT_FALSE(UnchangedSince(map, "2", "", stored, timing));
  EXPECT_FALSE(UnchangedSince(map, "3", std::to_string(stored - 10 * 60), stored, timing));
  EXPECT_TRUE(UnchangedSince(map, "3", std::to_string(stored - 10 * 60), stored + hour, timing));
  EXPECT_TRUE(UnchangedSince(map, "4", "", stored, timing));  // not changed within the week
}

}  // namespace
}  // namespace quorvel::catalogue
