#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bridge/WebPage.h"
#include "core/AirDate.h"
#include "core/UriLauncher.h"
#include "schedule/CalendarFile.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Properties = std::multimap<std::string, std::string>;

// The physical lines of a calendar text, without their CRLF; fails the test on a bare CR or LF.
std::vector<std::string> PhysicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in CRLF";
      break;
    }
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare line end in " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// Every physical line within 75 octets and whole UTF-8 on its own.
void ExpectFoldedWell(const std::string& text) {
  for (const std::string& line : PhysicalLines(text)) {
    EXPECT_LE(line.size(), 75u) << line;
    EXPECT_TRUE(g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr)) << line;
  }
}

std::string Unescaped(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    out += (next == 'n' || next == 'N') ? '\n' : next;
  }
  return out;
}

// The events of a calendar text, each as property name -> raw value, after unfolding.
std::vector<Properties> Events(const std::string& text) {
  std::vector<Properties> events;
  std::vector<std::string> logical;
  for (const std::string& line : PhysicalLines(text)) {
    if (!line.empty() && line[0] == ' ' && !logical.empty()) {
      logical.back() += line.substr(1);
    } else {
      logical.push_back(line);
    }
  }
  for (const std::string& line : logical) {
    const std::size_t colon = line.find(':');
    const std::size_t nameEnd = line.find_first_of(";:");
    const std::string name = line.substr(0, nameEnd);
    const std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (name == "BEGIN" && value == "VEVENT") {
      events.emplace_back();
    } else if (name == "END" && value == "VEVENT") {
      continue;
    } else if (!events.empty() && line.find("END:VCALENDAR") != 0) {
      events.back().emplace(name, value);
    }
  }
  return events;
}

std::string Value(const Properties& event, const std::string& name) {
  const auto found = event.find(name);
  return found == event.end() ? "<none>" : found->second;
}

SeriesRecord Series(const std::string& id, const std::string& name,
                    std::vector<EpisodeInfo> episodes) {
  SeriesRecord series;
  series.id = id;
  series.SeriesName = name;
  series.episodes = std::move(episodes);
  return series;
}

EpisodeInfo Episode(const std::string& id, const std::string& firstAired,
                    const std::string& name = "Pilot", const std::string& season = "1",
                    const std::string& number = "1") {
  EpisodeInfo episode;
  episode.id = id;
  episode.FirstAired = firstAired;
  episode.EpisodeName = name;
  episode.SeasonNumber = season;
  episode.EpisodeNumber = number;
  return episode;
}

class CalendarFileTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    clock = std::make_unique<FrozenClock>();
  }
  void TearDown() override {
    clock.reset();
    SandboxedTest::TearDown();
  }
  std::vector<Properties> EventsOf(const std::vector<SeriesRecord>& series) {
    const std::string text = CalendarText(series, clock->now());
    ExpectFoldedWell(text);
    return Events(text);
  }
  std::unique_ptr<FrozenClock> clock;
};

TEST_F(CalendarFileTest, CalendarHeaderAndOneTransparentAllDayEventPerEpisode) {
  SeriesRecord series = Series("80010", "Harbour Lights", {Episode("501", "2025-12-31")});
  series.Network = "Harbour Nine";
  series.Airs_DayOfWeek = "Friday";
  series.Airs_Time = "11:00 PM";
  series.episodes[0].Overview = "The boat comes in.";
  clock = std::make_unique<FrozenClock>(*ParseAirDate("2025-12-20") + 3600);
  const std::string text = CalendarText({series}, clock->now());
  const std::vector<std::string> lines = PhysicalLines(text);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin(), lines.begin() + 6),
      (std::vector<std::string>{"BEGIN:VCALENDAR", "VERSION:2.0",
                                "PRODID:-//Quorvel//Followed episodes//EN", "CALSCALE:GREGORIAN",
                                "X-WR-CALNAME:Quorvel", "REFRESH-INTERVAL;VALUE=DURATION:PT6H"}));
  EXPECT_EQ(lines.back(), "END:VCALENDAR");

  const std::vector<Properties> events = Events(text);
  ASSERT_EQ(events.size(), 1u);
  const Properties& event = events[0];
  EXPECT_EQ(Value(event, "UID"), "501-80010@quorvel");
  EXPECT_EQ(Value(event, "DTSTART"), "20251231");
  EXPECT_EQ(event.find("DTSTART")->first, "DTSTART");
  EXPECT_NE(text.find("DTSTART;VALUE=DATE:20251231\r\n"), std::string::npos);
  EXPECT_NE(text.find("DTEND;VALUE=DATE:20260101\r\n"), std::string::npos);
  EXPECT_EQ(Value(event, "SUMMARY"), "Harbour Lights S01E01 \u00B7 Pilot");
  EXPECT_EQ(Unescaped(Value(event, "DESCRIPTION")),
            "The boat comes in.\n\nHarbour Nine, Friday 11:00 PM");
  EXPECT_EQ(Value(event, "TRANSP"), "TRANSPARENT");
  EXPECT_EQ(Value(event, "URL"), "<none>");
  // The sandbox runs in UTC: one hour after midnight.
  EXPECT_EQ(Value(event, "DTSTAMP"), "20251220T010000Z");
  SetTimeZone("Asia/Tokyo");
  EXPECT_NE(CalendarText({series}, clock->now()).find("DTSTAMP:20251220T010000Z\r\n"),
            std::string::npos)
      << "the stamp is in UTC whatever the zone";
}

TEST_F(CalendarFileTest, DatesAreTheStoredLocalDaysInEveryZone) {
  for (const char* zone : {"Europe/Berlin", "America/Los_Angeles", "Pacific/Kiritimati"}) {
    SetTimeZone(zone);
    clock = std::make_unique<FrozenClock>(*ParseAirDate("2024-02-20") + 23 * 3600);
    const std::vector<Properties> events =
        EventsOf({Series("7", "S",
                         {Episode("1", "2024-02-28"), Episode("2", "2024-02-29"),
                          Episode("3", "2024-02-30"), Episode("4", "2024-3-31")})});
    ASSERT_EQ(events.size(), 4u) << zone;
    EXPECT_EQ(Value(events[0], "DTSTART"), "20240228") << zone;
    EXPECT_EQ(Value(events[0], "DTEND"), "20240229") << zone;
    EXPECT_EQ(Value(events[1], "DTEND"), "20240301") << zone;
    // A day past the month's end reads as the views read it: rolled into the next month.
    EXPECT_EQ(Value(events[2], "DTSTART"), "20240301") << zone;
    EXPECT_EQ(Value(events[3], "DTSTART"), "20240331") << zone;
    EXPECT_EQ(Value(events[3], "DTEND"), "20240401") << zone;
  }
}

TEST_F(CalendarFileTest, WindowIsThirtyDaysBackAndEverythingAhead) {
  for (const char* zone : {"Europe/Berlin", "America/Los_Angeles"}) {
    SetTimeZone(zone);
    clock = std::make_unique<FrozenClock>();
    const std::vector<Properties> events = EventsOf({Series(
        "9", "S",
        {Episode("31", DaysFromToday(-31)), Episode("30", DaysFromToday(-30)),
         Episode("0", DaysFromToday(0)), Episode("1", DaysFromToday(1)),
         Episode("400", DaysFromToday(400)), Episode("50", ""), Episode("51", "to be announced"),
         Episode("52", "1965-04-01"), Episode("", DaysFromToday(2)),
         Episode("x7", DaysFromToday(2)), Episode("400", DaysFromToday(3))})});
    std::vector<std::string> uids;
    for (const Properties& event : events) uids.push_back(Value(event, "UID"));
    EXPECT_EQ(uids, (std::vector<std::string>{"30-9@quorvel", "0-9@quorvel", "1-9@quorvel",
                                              "400-9@quorvel"}))
        << zone;
  }
}

TEST_F(CalendarFileTest, SeriesWithoutDecimalIdAndRepeatedSeriesAddNothing) {
  const std::vector<Properties> events =
      EventsOf({Series("", "No id", {Episode("1", DaysFromToday(1))}),
                Series("12a", "Odd id", {Episode("2", DaysFromToday(1))}),
                Series("5", "Twice", {Episode("3", DaysFromToday(1))}),
                Series("5", "Twice", {Episode("3", DaysFromToday(1))})});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(Value(events[0], "UID"), "3-5@quorvel");
}

struct SummaryCase {
  std::string series, season, number, name, expected;
};

TEST_F(CalendarFileTest, SummariesFollowTheNumberRules) {
  const std::vector<SummaryCase> cases = {
      {"Harbour Lights", "2", "10", "The Storm", "Harbour Lights S02E10 \u00B7 The Storm"},
      {"Harbour Lights", "0", "3", "Special", "Harbour Lights S00E03 \u00B7 Special"},
      {"Harbour Lights", "10", "100", "Hundred", "Harbour Lights S10E100 \u00B7 Hundred"},
      {"Harbour Lights", "007", "02", "Bond", "Harbour Lights S07E02 \u00B7 Bond"},
      {"Harbour Lights", " 3 ", "4\n", "Blanks", "Harbour Lights S03E04 \u00B7 Blanks"},
      {"Harbour Lights", "2", "10", "", "Harbour Lights S02E10"},
      {"Harbour Lights", "2", "10", "  ", "Harbour Lights S02E10"},
      {"Harbour Lights", "", "10", "No season", "Harbour Lights \u00B7 No season"},
      {"Harbour Lights", "2", "", "No number", "Harbour Lights \u00B7 No number"},
      {"Harbour Lights", "1.5", "2", "Half", "Harbour Lights \u00B7 Half"},
      {"Harbour Lights", "-1", "2", "Minus", "Harbour Lights \u00B7 Minus"},
      {"Harbour Lights", "2", "10a", "Letter", "Harbour Lights \u00B7 Letter"},
      {"Harbour Lights", "x", "y", "", "Harbour Lights"},
      {"", "1", "2", "Nameless series", "S01E02 \u00B7 Nameless series"},
      {" Spaced ", "1", "2", " Out ", "Spaced S01E02 \u00B7 Out"},
      {"Two\nLines", "1", "2", "A\r\nB", "Two Lines S01E02 \u00B7 A B"},
      {"Bell\a", "1", "2", "Tab\there", "Bell S01E02 \u00B7 Tab\there"},
  };
  for (const SummaryCase& c : cases) {
    SeriesInfo series;
    series.SeriesName = c.series;
    EpisodeInfo episode = Episode("1", "", c.name, c.season, c.number);
    EXPECT_EQ(EpisodeSummary(series, episode), c.expected)
        << c.series << " / " << c.season << " / " << c.number << " / " << c.name;
  }
}

TEST_F(CalendarFileTest, TextIsEscapedAndControlsDropped) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"a,b;c\\d", "a\\,b\\;c\\\\d"},
      {"one\ntwo\r\nthree\rfour", "one\\ntwo\\nthree\\nfour"},
      {"\\n is not a break", "\\\\n is not a break"},
      {std::string("nul\0here", 8), "nulhere"},
      {"bell\a esc\x1b del\x7f tab\tkept", "bell esc del tab\tkept"},
      {"c1 \xc2\x85 dropped", "c1  dropped"},
      {"caf\xc3\xa9 \xe6\x9d\xb1 \xf0\x9f\x8e\xac", "caf\xc3\xa9 \xe6\x9d\xb1 \xf0\x9f\x8e\xac"},
      {"bad \xff\xfe end", "bad \xef\xbf\xbd\xef\xbf\xbd end"},
      {"cut \xe6\x9d", "cut \xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(EscapeText(input), expected) << input;
  EXPECT_EQ(EscapeText("a\nb", false), "a b");
}

TEST_F(CalendarFileTest, FoldingNeverSplitsACharacterOrAnEscape) {
  // 300 characters of one-, two-, three- and four-octet sequences.
  const std::vector<std::string> pieces = {"a", "\xc3\xa9", "\xe6\x9d\xb1", "\xf0\x9f\x8e\xac",
                                           ","};
  std::string name;
  for (int i = 0; i < 300; ++i) name += pieces[i % pieces.size()];
  ASSERT_EQ(g_utf8_strlen(name.c_str(), -1), 300);
  const std::vector<Properties> events =
      EventsOf({Series("3", name, {Episode("4", DaysFromToday(2), name)})});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(Unescaped(Value(events[0], "SUMMARY")), name + " S01E01 \u00B7 " + name);

  for (std::size_t pad = 60; pad < 80; ++pad) {
    const std::string folded = FoldContentLine(std::string(pad, 'x') + "\\,\\;" + name);
    ExpectFoldedWell(folded);
    for (const std::string& line : PhysicalLines(folded)) {
      std::size_t backslashes = 0;
      while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\') {
        ++backslashes;
      }
      EXPECT_EQ(backslashes % 2, 0u) << "an escape is cut at " << pad << ": " << line;
    }
  }
  EXPECT_EQ(FoldContentLine(std::string(75, 'y')), std::string(75, 'y') + "\r\n");
  EXPECT_EQ(FoldContentLine(std::string(76, 'y')), std::string(75, 'y') + "\r\n y\r\n");
}

TEST_F(CalendarFileTest, HostileTextsStayInsideTheirProperties) {
  SeriesRecord series =
      Series("80", "A;B,C\\D\nEND:VEVENT\r\nBEGIN:VEVENT\x01\x7f",
             {Episode("1", DaysFromToday(1), "x\r\nUID:forged@evil\nDTSTART:19990101", "1", "2")});
  series.Network = "Net;work";
  series.episodes[0].Overview = "line one\nURL:http://evil/\r\n\\ back,slash;";
  const std::vector<Properties> events = EventsOf({series});
  ASSERT_EQ(events.size(), 1u);
  const Properties& event = events[0];
  std::vector<std::string> names;
  for (const auto& [name, value] : event) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"DESCRIPTION", "DTEND", "DTSTAMP", "DTSTART",
                                             "SUMMARY", "TRANSP", "UID"}));
  EXPECT_EQ(Value(event, "UID"), "1-80@quorvel");
  EXPECT_EQ(Unescaped(Value(event, "SUMMARY")),
            "A;B,C\\D END:VEVENT BEGIN:VEVENT S01E02 \u00B7 x UID:forged@evil DTSTART:19990101");
  EXPECT_EQ(Unescaped(Value(event, "DESCRIPTION")),
            "line one\nURL:http://evil/\n\\ back,slash;\n\nNet;work");
}

TEST_F(CalendarFileTest, HugeOverviewIsKeptWholeAndFolded) {
  std::string overview;
  while (overview.size() < 100 * 1024) overview += "Long, long; \xe2\x80\x94 story\\ ";
  overview.pop_back();
  SeriesRecord series = Series("1", "Big", {Episode("2", DaysFromToday(5))});
  series.episodes[0].Overview = overview;
  const std::vector<Properties> events = EventsOf({series});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(Unescaped(Value(events[0], "DESCRIPTION")), overview);
}

TEST_F(CalendarFileTest, InvalidUtf8BecomesReplacementCharacters) {
  SeriesRecord series = Series("1", "Bad \xc3\x28 name", {Episode("2", DaysFromToday(5), "\xff")});
  series.episodes[0].Overview = "\xe2\x82";
  const std::string text = CalendarText({series}, clock->now());
  EXPECT_TRUE(g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr));
  const std::vector<Properties> events = Events(text);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(Value(events[0], "SUMMARY"), "Bad \xef\xbf\xbd( name S01E01 \u00B7 \xef\xbf\xbd");
}

TEST_F(CalendarFileTest, ImdbPageOfTheEpisodeElseOfTheSeries) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"tt0944947", "tt1", "https://www.imdb.com/title/tt0944947/"},
      {"", "tt1234", "https://www.imdb.com/title/tt1234/"},
      {" tt55 ", "", "https://www.imdb.com/title/tt55/"},
      {"nm0001", "tt77", "https://www.imdb.com/title/tt77/"},
      {"tt", "", "<none>"},
      {"tt12x", "TT12", "<none>"},
      {"tt1\r\nX:y", "javascript:alert(1)", "<none>"},
  };
  for (const auto& [episodeImdb, seriesImdb, expected] : cases) {
    SeriesRecord series = Series("1", "S", {Episode("2", DaysFromToday(1))});
    series.IMDB_ID = seriesImdb;
    series.episodes[0].IMDB_ID = episodeImdb;
    const std::vector<Properties> events = EventsOf({series});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(Value(events[0], "URL"), expected) << episodeImdb << " / " << seriesImdb;
  }
}

// The file in the data folder, from favorites.xml and the series files.
class CalendarWriteTest : public CalendarFileTest {
 protected:
  void Follow(std::vector<FavoriteShow> entries) {
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  std::vector<std::string> StoredUids() const {
    std::vector<std::string> uids;
    for (const Properties& event : Events(ReadFile(CalendarFilePath(GetDataFolder())))) {
      uids.push_back(Value(event, "UID"));
    }
    return uids;
  }
  static SeriesFixture Fixture(const std::string& id, const std::string& episodeId) {
    return {.id = id,
            .SeriesName = "Series " + id,
            .episodes = {{.id = episodeId, .FirstAired = DaysFromToday(3)}}};
  }
};

TEST_F(CalendarWriteTest, UnreadableSeriesFilesLeaveOnlyTheirEpisodesOut) {
  const std::string folder = GetDataFolder();
  const FavoriteShow first = StoreSeries(folder, Fixture("11", "101"));
  const FavoriteShow broken = StoreSeries(folder, Fixture("22", "202"));
  const FavoriteShow badBytes = StoreSeries(folder, Fixture("33", "303"));
  const FavoriteShow last = StoreSeries(folder, Fixture("44", "404"));
  const FavoriteShow missing{
      .seriesid = "55", .DateAdded = "2000-01-01", .PathToDetails = folder + "55.xml"};
  WriteFile(broken.PathToDetails, "<Data><Series><id>22</id></Seri");
  std::string bytes = ReadFile(badBytes.PathToDetails);
  bytes.replace(bytes.find("Series 33"), 9, "Series \xff\xfe");
  WriteFile(badBytes.PathToDetails, bytes);
  Follow({first, broken, badBytes, missing, last});

  ASSERT_TRUE(WriteCalendarFile(folder, clock->now()));
  const std::string text = ReadFile(CalendarFilePath(folder));
  ExpectFoldedWell(text);
  EXPECT_TRUE(g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr));
  const std::vector<std::string> uids = StoredUids();
  ASSERT_GE(uids.size(), 2u);
  EXPECT_EQ(uids.front(), "101-11@quorvel");
  EXPECT_EQ(uids.back(), "404-44@quorvel");
  EXPECT_LE(uids.size(), 3u) << "the damaged file may only add its own episode";
}

TEST_F(CalendarWriteTest, NoFavouritesGiveACalendarWithoutEvents) {
  ASSERT_TRUE(WriteCalendarFile(GetDataFolder(), clock->now()));
  const std::string text = ReadFile(CalendarFilePath(GetDataFolder()));
  EXPECT_EQ(text.rfind("BEGIN:VCALENDAR\r\n", 0), 0u);
  EXPECT_TRUE(StoredUids().empty());
  EXPECT_FALSE(WriteCalendarFile("", clock->now()));
}

TEST_F(CalendarWriteTest, FailedWriteLeavesWhatWasThere) {
  const std::string folder = GetDataFolder();
  std::filesystem::create_directory(CalendarFilePath(folder));
  WriteFile(CalendarFilePath(folder) + "/inside", "kept");
  EXPECT_FALSE(WriteCalendarFile(folder, clock->now()));
  EXPECT_EQ(ReadFile(CalendarFilePath(folder) + "/inside"), "kept");
  EXPECT_TRUE(EnsureCalendarFile(folder, clock->now())) << "something is there already";
}

TEST_F(CalendarWriteTest, FollowAndUnfollowRewriteTheCalendar) {
  RecordingPage page;
  SeriesRecord details;
  details.ReadSeriesDocument(StoreSeries(GetDataFolder(), Fixture("61", "601")).PathToDetails);
  AddToFavsCommand(page, details);
  EXPECT_EQ(StoredUids(), (std::vector<std::string>{"601-61@quorvel"}));

  const FavoriteShow other = StoreSeries(GetDataFolder(), Fixture("62", "602"));
  details.ReadSeriesDocument(other.PathToDetails);
  AddToFavsCommand(page, details);
  EXPECT_EQ(StoredUids(), (std::vector<std::string>{"601-61@quorvel", "602-62@quorvel"}));

  RemoveShowCommand(page, 61);
  EXPECT_EQ(StoredUids(), (std::vector<std::string>{"602-62@quorvel"}));
  EXPECT_EQ(page.Names(), (std::vector<std::string>{"initFinish", "initFinish", "initFinish"}));
}

// A running check rewrites the calendar on its own thread while the page unfollows: a write that
// read the old list (here slowed by a long series) must not land after the unfollow's write.
TEST_F(CalendarWriteTest, AWriteThatReadTheOldListNeverLandsLast) {
  const std::string folder = GetDataFolder();
  const FavoriteShow kept = StoreSeries(folder, Fixture("71", "701"));
  SeriesFixture longSeries = Fixture("72", "702");
  longSeries.episodes.resize(20000, longSeries.episodes.front());
  const FavoriteShow unfollowed = StoreSeries(folder, longSeries);
  Follow({unfollowed, kept});
  std::thread check([&] { EXPECT_TRUE(WriteCalendarFile(folder, clock->now())); });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the check is reading the list
  Follow({kept});
  EXPECT_TRUE(WriteCalendarFile(folder, clock->now()));
  check.join();
  EXPECT_EQ(StoredUids(), (std::vector<std::string>{"701-71@quorvel"}));
}

class RecordingFileLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override { uris.push_back(uri); }
  void OpenFile(const std::string& path, const std::string& type) override {
    files.push_back(path + " as " + type);
  }
  std::vector<std::string> uris;
  std::vector<std::string> files;
};

TEST_F(CalendarWriteTest, OpenCalendarWritesAMissingFileAndHandsOnlyItOn) {
  const std::string path = CalendarFilePath(GetDataFolder());
  Follow({StoreSeries(GetDataFolder(), Fixture("71", "701"))});
  RecordingFileLauncher launcher;
  ScopedUriLauncher scoped(launcher);
  RecordingWebPage page;
  EXPECT_EQ(page.page.InvokeByName("OpenCalendar", {}), S_OK);
  EXPECT_EQ(StoredUids(), (std::vector<std::string>{"701-71@quorvel"}));

  // An existing file is handed on as it is; arguments are ignored.
  WriteFile(path, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  EXPECT_EQ(page.page.InvokeByName("OpenCalendar", {ScriptValue::Of("file:///etc/passwd")}), S_OK);
  EXPECT_EQ(ReadFile(path), "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  EXPECT_EQ(launcher.files,
            (std::vector<std::string>{path + " as text/calendar", path + " as text/calendar"}));
  EXPECT_TRUE(launcher.uris.empty());
  EXPECT_TRUE(page.script.calls.empty()) << "the page gets no answer";
}

}  // namespace
}  // namespace quorvel::test
