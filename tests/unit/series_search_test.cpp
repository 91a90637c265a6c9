#include <gtest/gtest.h>
#include <stdlib.h>

#include "schedule/SearchView.h"
#include "shows/SeriesRecord.h"
#include "shows/SeriesSearch.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel::test {
namespace {

using Names = std::vector<std::string>;

class SeriesSearchTest : public SandboxedTest {
 protected:
  RecordingPage recording;
  FakeFetcher fetcher;
};

TEST_F(SeriesSearchTest, SearchTextIsOneEncodedQueryValue) {
  const struct {
    std::string text;
    std::string query;
  } rows[] = {
      {"Lost", "Lost"},       {"Law & Order", "Law%20%26%20Order"},
      {"C++", "C%2B%2B"},     {"#1=2", "%231%3D2"},
      {"a?b/c", "a%3Fb%2Fc"}, {"Skam \xC3\xA9t\xC3\xA9", "Skam%20%C3%A9t%C3%A9"},
      {"100%", "100%25"},     {"it's-a_b.c~", "it%27s-a_b.c~"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(GetSearchUrl(row.text), "http://tvdb.test/api/GetSeries.php?seriesname=" + row.query)
        << row.text;
  }
}

TEST_F(SeriesSearchTest, ThreeHitsGiveShowResultsThreeRowsInAnswerOrderThenInitFinish) {
  std::string text = "the";
  fetcher.bodies[GetSearchUrl(text)] = SearchAnswer({
      {.id = "3", .SeriesName = "The Third", .Network = "ABC", .banner = "graphical/3.jpg"},
      {.id = "1", .SeriesName = "The First", .Network = "NBC"},
      {.id = "2", .SeriesName = "The Second", .Overview = "Two\nlines"},
  });
  SearchSeries(recording, text);

  const std::vector<PageCall> expected = {
      {"ShowResults", {}},
      {"PopulateSearchTable",
       {"The Third", "3", "http://tvdb.test/banners/graphical/3.jpg", "ABC", "2004-09-22", ""}},
      {"PopulateSearchTable", {"The First", "1", "", "NBC", "2004-09-22", ""}},
      {"PopulateSearchTable", {"The Second", "2", "", "", "2004-09-22", "Two\nlines"}},
      {"initFinish", {}},
  };
  EXPECT_EQ(recording.calls, expected);
  EXPECT_TRUE(text.empty());
}

TEST_F(SeriesSearchTest, NoHitsOrNoServerAnswerNoResultsThenInitFinish) {
  std::string withoutHits = "nothing";
  fetcher.bodies[GetSearchUrl(withoutHits)] = SearchAnswer({});
  SearchSeries(recording, withoutHits);
  std::string deadServer = "unanswered";
  SearchSeries(recording, deadServer);
  std::string notXml = "garbage";
  fetcher.bodies[GetSearchUrl(notXml)] = "<html><body>502 Bad Gateway";
  SearchSeries(recording, notXml);

  EXPECT_EQ(recording.Names(), (Names{"NoResults", "initFinish", "NoResults", "initFinish",
                                      "NoResults", "initFinish"}));
  EXPECT_EQ(fetcher.requests.size(), 3u);
}

TEST_F(SeriesSearchTest, EmptyTextMakesNoRequestAndNoCall) {
  std::string text;
  SearchSeries(recording, text);
  EXPECT_TRUE(fetcher.requests.empty());
  EXPECT_TRUE(recording.calls.empty());
}

TEST_F(SeriesSearchTest, SecondRunWithoutNewTextDoesNothing) {
  std::string text = "once";
  SearchSeries(recording, text);
  SearchSeries(recording, text);
  EXPECT_EQ(fetcher.requests.size(), 1u);
  EXPECT_EQ(recording.Names(), (Names{"NoResults", "initFinish"}));
}

TEST_F(SeriesSearchTest, HostileFieldTextsReachThePageUnchanged) {
  const std::string name = "\");alert(1);(\"<script>x</script>";
  const std::string overview = "'; DROP TABLE; -- & &amp; \\ \xF0\x9F\x93\xBA";
  std::string text = "x";
  fetcher.bodies[GetSearchUrl(text)] =
      SearchAnswer({{.id = "7", .SeriesName = name, .Overview = overview}});
  SearchSeries(recording, text);
  ASSERT_EQ(recording.calls.size(), 3u);
  EXPECT_EQ(recording.calls[1].args[0], name);
  EXPECT_EQ(recording.calls[1].args[5], overview);
}

TEST_F(SeriesSearchTest, ParseSearchResultsAppendsEveryHitIncludingDuplicates) {
  const std::string url = "http://tvdb.test/answer";
  fetcher.bodies[url] =
      SearchAnswer({{.id = "5", .SeriesName = "Twice"}, {.id = "5", .SeriesName = "Twice"}});
  std::vector<SearchResult> results;
  EXPECT_TRUE(ParseSearchResults(url, results));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[1].seriesid, "5");
  EXPECT_EQ(results[1].IMDB_ID, "");
  EXPECT_FALSE(ParseSearchResults("http://tvdb.test/missing", results));
}

}  // namespace
}  // namespace quorvel::test
