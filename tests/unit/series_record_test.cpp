#include "shows/SeriesRecord.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/Paths.h"
#include "core/XmlDocument.h"
#include "schedule/DataFiles.h"
#include "support/LoopbackTest.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel {
namespace {

using test::FixturePath;
using test::ReadFile;

std::vector<std::string> SeriesValues(const SeriesInfo& info) {
  std::vector<std::string> values;
  for (const auto& [name, field] : info.fieldMap()) values.push_back(*field);
  return values;
}

std::vector<std::string> EpisodeValues(const EpisodeInfo& episode) {
  std::vector<std::string> values;
  for (const auto& [name, field] : episode.fieldMap()) values.push_back(*field);
  return values;
}

void ExpectSameRecord(const SeriesRecord& expected, const SeriesRecord& actual) {
  EXPECT_EQ(SeriesValues(expected), SeriesValues(actual));
  ASSERT_EQ(expected.episodes.size(), actual.episodes.size());
  for (std::size_t i = 0; i < expected.episodes.size(); ++i) {
    EXPECT_EQ(EpisodeValues(expected.episodes[i]), EpisodeValues(actual.episodes[i])) << i;
  }
}

// A small record whose stored form is written out by hand in fixtures/expected/73.xml.
SeriesRecord SmallRecord() {
  SeriesRecord record;
  record.id = "73";
  record.SeriesName = "Tiny & <Series>";
  record.Genre = "|Drama|Comedy|";
  record.Overview = "Line one\r\nLine \"two\"";
  record.poster = "posters/73-1.jpg";
  EpisodeInfo first;
  first.id = "501";
  first.Combined_episodenumber = "1.0";
  first.Combined_season = "1";
  first.EpisodeName = "Start";
  first.EpisodeNumber = "1";
  first.FirstAired = "2012-05-03";
  first.SeasonNumber = "1";
  record.episodes.push_back(first);
  record.episodes.push_back(EpisodeInfo{});
  return record;
}

class SeriesRecordTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    ASSERT_EQ(GetDataFolder(), dataFolder());  // creates it, as the program does
  }
};

TEST_F(SeriesRecordTest, ReadsTheSeriesFieldsAndEveryEpisodeInDocumentOrder) {
  SeriesRecord record;
  ASSERT_TRUE(record.ReadSeriesDocument(FixturePath("tvdb/series/80001.xml")));
  EXPECT_EQ(record.id, "80001");
  EXPECT_EQ(record.SeriesName, "Harbour Lights");
  EXPECT_EQ(record.Actors, "|Mara Kellen|Tobias Rune|Ines Castellano|");
  EXPECT_EQ(record.Genre, "|Drama|Comedy|");
  EXPECT_EQ(record.Overview,
            "A harbour town's night ferry crew keeps its secrets & its schedule.\n"
            "The second line says \"quoted\" things <not markup> and an apostrophe's place.");
  EXPECT_EQ(record.banner, "graphical/80001-g.jpg");
  EXPECT_EQ(record.lastupdated, "1331052513");
  const std::vector<std::string> ids = [&] {
    std::vector<std::string> out;
    for (const auto& episode : record.episodes) out.push_back(episode.id);
    return out;
  }();
  EXPECT_EQ(ids, (std::vector<std::string>{"900101", "900111", "900113", "900112", "900121",
                                           "900102", "900122"}));
  const EpisodeInfo& special = record.episodes[0];
  EXPECT_EQ(special.SeasonNumber, "0");
  EXPECT_EQ(special.FirstAired, "");
  EXPECT_EQ(special.Combined_episodenumber, "1.0");
  EXPECT_EQ(record.episodes[2].EpisodeName, "Fog & Fortune");
  EXPECT_EQ(record.episodes[2].Overview,
            "Fog closes the harbour.\n\nMara bets the crew's wages on a card game \xe2\x80\x94 "
            "and loses <most> of it.");
  EXPECT_EQ(record.episodes[4].Overview, "A new season starts on the water.");
  EXPECT_EQ(record.episodes[6].Overview, "Ines hears voices on the <b>empty</b> deck.");
}

TEST_F(SeriesRecordTest, OnlyTheFirstSeriesAndTheKnownFieldsAreRead) {
  SeriesRecord record;
  ASSERT_TRUE(record.ReadSeriesDocument(FixturePath("tvdb/series/80006.xml")));
  EXPECT_EQ(record.id, "80006");
  EXPECT_EQ(record.SeriesName, "Twin Records");
  ASSERT_EQ(record.episodes.size(), 1u);
  EXPECT_EQ(record.episodes[0].EpisodeName, "Only Episode");
  ASSERT_TRUE(record.WriteSeriesFile(dataFolder()));
  const std::string stored = ReadFile(dataFolder() + "80006.xml");
  EXPECT_EQ(stored.find("UnknownField"), std::string::npos);
  EXPECT_EQ(stored.find("99999"), std::string::npos);
  EXPECT_EQ(stored.find("Rating"), std::string::npos);
  EXPECT_EQ(stored.find("Nested"), std::string::npos);
}

TEST_F(SeriesRecordTest, ADocumentReadsEachEpisodeOnDemandAsTheRecordReadsIt) {
  test::WriteFile(root() + "/broken.xml", "<Data><Series><id>1</id></Series><Episode>");
  const std::string sources[] = {
      FixturePath("tvdb/series/80001.xml"),
      FixturePath("tvdb/series/80003.xml"),
      FixturePath("tvdb/series/80005.xml"),
      FixturePath("tvdb/series/80006.xml"),
      root() + "/broken.xml",
      root() + "/missing.xml",
  };
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    SeriesRecord record;
    record.ReadSeriesDocument(source);
    const SeriesDocument document(source);
    EXPECT_EQ(SeriesValues(document.series()), SeriesValues(record));
    ASSERT_EQ(document.EpisodeCount(), record.episodes.size());
    for (std::size_t i = 0; i < record.episodes.size(); ++i) {
      EXPECT_EQ(EpisodeValues(document.Episode(i)), EpisodeValues(record.episodes[i])) << i;
      EXPECT_EQ(document.FirstAired(i), record.episodes[i].FirstAired) << i;
    }
    std::vector<std::string> dates;
    for (const EpisodeInfo& episode : record.episodes) dates.push_back(episode.FirstAired);
    EXPECT_EQ(ReadEpisodeFirstAired(source), dates);
    EXPECT_EQ(EpisodeValues(document.Episode(record.episodes.size())),
              EpisodeValues(EpisodeInfo{}));
    EXPECT_EQ(document.FirstAired(record.episodes.size()), "");
  }
}

TEST_F(SeriesRecordTest, ASeriesWithoutEpisodesKeepsItsFieldsAndReportsFalse) {
  SeriesRecord record;
  record.episodes.resize(3);
  EXPECT_FALSE(record.ReadSeriesDocument(FixturePath("tvdb/series/80005.xml")));
  EXPECT_EQ(record.SeriesName, "Pilot Pending");
  EXPECT_TRUE(record.episodes.empty());
}

TEST_F(SeriesRecordTest, AnUnreadableSourceEmptiesEveryField) {
  SeriesRecord record = SmallRecord();
  EXPECT_FALSE(record.ReadSeriesDocument(root() + "/missing.xml"));
  EXPECT_EQ(SeriesValues(record), SeriesValues(SeriesInfo{}));
  EXPECT_TRUE(record.episodes.empty());
}

TEST_F(SeriesRecordTest, TheStoredFileHasTheExactLayout) {
  const SeriesRecord record = SmallRecord();
  ASSERT_TRUE(record.WriteSeriesFile(dataFolder()));
  EXPECT_EQ(ReadFile(dataFolder() + "73.xml"), ReadFile(FixturePath("expected/73.xml")));
}

TEST_F(SeriesRecordTest, ADownloadedDocumentIsStoredInTheExactLayout) {
  SeriesRecord record;
  ASSERT_TRUE(record.ReadSeriesDocument(FixturePath("tvdb/series/80001.xml")));
  ASSERT_TRUE(record.WriteSeriesFile(dataFolder()));
  EXPECT_EQ(ReadFile(dataFolder() + "80001.xml"), ReadFile(FixturePath("expected/80001.xml")));
}

TEST_F(SeriesRecordTest, AStoredFileReadsBackEqualInOrder) {
  for (const char* fixture : {"80001", "80002", "80003", "80004", "80006"}) {
    SeriesRecord written;
    ASSERT_TRUE(written.ReadSeriesDocument(FixturePath("tvdb/series/") + fixture + ".xml"));
    ASSERT_TRUE(written.WriteSeriesFile(dataFolder()));
    SeriesRecord back;
    ASSERT_TRUE(back.ReadSeriesDocument(dataFolder() + written.id + ".xml")) << fixture;
    ExpectSameRecord(written, back);
  }
}

TEST_F(SeriesRecordTest, ValuesWithMarkupAndLineBreaksSurviveTheRoundTrip) {
  const SeriesRecord written = SmallRecord();
  ASSERT_TRUE(written.WriteSeriesFile(dataFolder()));
  SeriesRecord back;
  ASSERT_TRUE(back.ReadSeriesDocument(dataFolder() + "73.xml"));
  ExpectSameRecord(written, back);
}

TEST_F(SeriesRecordTest, TheLongRunningSeriesKeepsAllItsEpisodes) {
  SeriesRecord record;
  ASSERT_TRUE(record.ReadSeriesDocument(FixturePath("tvdb/series/80003.xml")));
  ASSERT_EQ(record.episodes.size(), 760u);
  EXPECT_EQ(record.episodes.front().EpisodeName, "Chapter 1-01");
  EXPECT_EQ(record.episodes.back().absolute_number, "760");
}

// An id that is not plain digits could name a file outside the data folder.
TEST_F(SeriesRecordTest, OnlyPlainSeriesIdsAreWritten) {
  const std::filesystem::path outside = std::filesystem::path(root()) / "x.xml";
  for (const char* id : {"", "../../x", "../x", "-5", "12a", "1/2", "12345678901", " 12", "x"}) {
    SeriesRecord record = SmallRecord();
    record.id = id;
    EXPECT_FALSE(record.WriteSeriesFile(dataFolder())) << id;
  }
  EXPECT_FALSE(std::filesystem::exists(outside));
  EXPECT_FALSE(std::filesystem::exists(dataFolder() + ".xml"));
  EXPECT_TRUE(std::filesystem::is_empty(dataFolder()));
}

TEST_F(SeriesRecordTest, AFailedWriteLeavesThePreviousFileIntact) {
  SeriesRecord record;
  ASSERT_TRUE(record.ReadSeriesDocument(FixturePath("tvdb/series/80001.xml")));
  ASSERT_TRUE(record.WriteSeriesFile(dataFolder()));
  const std::string previous = ReadFile(dataFolder() + "80001.xml");

  // A file-size limit makes the write fail part-way, as a full disk would.
  record.SeriesName = "Changed";
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = record.WriteSeriesFile(dataFolder());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(dataFolder() + "80001.xml"), previous);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dataFolder()))
    ++entries;
  EXPECT_EQ(entries, 1) << "the temporary file is removed";
}

TEST_F(SeriesRecordTest, ArtworkUrlsNeedAPath) {
  SetPlaces([](Places& places) { places.tvdbHost = "tvdb.test:8080"; });
  EXPECT_EQ(ArtworkUrl("posters/1.jpg"), "http://tvdb.test:8080/banners/posters/1.jpg");
  EXPECT_EQ(ArtworkUrl(""), "");
}

TEST_F(SeriesRecordTest, TheSeriesUrlCarriesTheAccessKeyAndTheId) {
  EXPECT_EQ(GetSeriesRecordUrl("73"), "http://tvdb.test/api/9F41B2D07E6A3C15/series/73/all/en.xml");
}

class SeriesDownloadTest : public test::LoopbackTest {};

TEST_F(SeriesDownloadTest, DownloadsFromTheSeriesUrl) {
  SeriesRecord record;
  ASSERT_TRUE(DownloadSeries("80001", record));
  EXPECT_EQ(record.SeriesName, "Harbour Lights");
  EXPECT_EQ(record.episodes.size(), 7u);
  EXPECT_EQ(server_->hits(),
            std::vector<std::string>{"/api/9F41B2D07E6A3C15/series/80001/all/en.xml"});
}

TEST_F(SeriesDownloadTest, AnIdTheServerDoesNotKnowIsAFailedDownload) {
  SeriesRecord record = SmallRecord();
  EXPECT_FALSE(DownloadSeries("123", record));
  EXPECT_EQ(SeriesValues(record), SeriesValues(SeriesInfo{}));
  EXPECT_TRUE(record.episodes.empty());
}

TEST_F(SeriesDownloadTest, AnIdThatIsNotPlainDigitsMakesNoRequest) {
  for (const char* id : {"", "-5", "../x", "../../x", "1 2", "80001/../80002", "12345678901"}) {
    SeriesRecord record = SmallRecord();
    EXPECT_FALSE(DownloadSeries(id, record)) << id;
    EXPECT_EQ(SeriesValues(record), SeriesValues(SeriesInfo{})) << id;
    EXPECT_TRUE(record.episodes.empty()) << id;
  }
  EXPECT_TRUE(server_->hits().empty());
}

TEST_F(SeriesDownloadTest, TodayTokensAreFilledByTheServer) {
  ASSERT_TRUE(server_->setToday("2024-02-28"));
  SeriesRecord record;
  ASSERT_TRUE(DownloadSeries("80004", record));
  ASSERT_GE(record.episodes.size(), 6u);
  EXPECT_EQ(record.episodes[1].FirstAired, "2024-02-24");
  EXPECT_EQ(record.episodes[4].FirstAired, "2024-02-28");
  EXPECT_EQ(record.episodes[5].FirstAired, "2024-02-29");
}

}  // namespace
}  // namespace quorvel
