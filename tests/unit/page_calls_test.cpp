// Native-to-page calls: names, argument forms and the recorded failures.

#include <gtest/gtest.h>

#include "support/RecordingPage.h"

namespace quorvel {
namespace {

using test::PageCall;

TEST(PageCallsTest, BeforeAnyDocumentTheCallFailsWithCannotGetScript) {
  test::RecordingWebPage fixture;
  fixture.script.hasDocument = false;
  EXPECT_FALSE(fixture.page.initFinish());
  EXPECT_EQ(fixture.page.lastError(), "JSCall Error:\nCannot GetScript");
  EXPECT_TRUE(fixture.script.calls.empty());

  MessageWindow window;
  WebPage noBrowser(window);
  EXPECT_FALSE(noBrowser.NoResults());
  EXPECT_EQ(noBrowser.lastError(), "JSCall Error:\nCannot GetScript");
}

TEST(PageCallsTest, MissingFunctionIsRecordedAndTheNextCallStillRuns) {
  test::RecordingWebPage fixture;
  fixture.script.missing = {"PopulateDetails"};
  fixture.page.PopulateDetails("a", "b", "c", "d", "e", "f", "g", "h", 1, "i", "j");
  fixture.page.initFinish();
  EXPECT_EQ(fixture.page.lastError().rfind("JSCall Error:\n", 0), 0u);
  EXPECT_NE(fixture.page.lastError().find("PopulateDetails"), std::string::npos);
  EXPECT_EQ(fixture.script.Names(), std::vector<std::string>{"initFinish"});
}

TEST(PageCallsTest, IntegerArgumentsTravelAsDecimalText) {
  test::RecordingWebPage fixture;
  fixture.page.PopulateCurentlyPlayingTable("S", "1", "2", "3", "E", "2012-05-03", "img", -5, "O",
                                            "tt1", "9", "tt2");
  fixture.page.PopulateDetails("N", "O", "A", "Net", "St", " ", "G", "", 10, "73", "tt");
  ASSERT_EQ(fixture.script.calls.size(), 2u);
  EXPECT_EQ(fixture.script.calls[0].args.size(), 12u);
  EXPECT_EQ(fixture.script.calls[0].args[7], "-5");
  EXPECT_EQ(fixture.script.calls[1].args.size(), 11u);
  EXPECT_EQ(fixture.script.calls[1].args[8], "10");
}

TEST(PageCallsTest, CatalogueNamesAndArities) {
  test::RecordingWebPage fixture;
  auto& page = fixture.page;
  page.PopulateMyShowsTable("a", "b", "c", "d", "e");
  page.PopulateNextShows(std::vector<std::string>(12, "x"));
  page.PopulateRecentShows(std::vector<std::string>(12, "x"));
  page.PopulateSearchTable("a", "b", "c", "d", "e", "f");
  page.PopulateSeasonsTable("a", "b", "c", "0");
  page.AddRssItem("t", "l");
  page.ShowResults();
  page.NoResults();
  page.initFinish();
  const std::vector<std::pair<std::string, std::size_t>> expected = {{"PopulateMyShowsTable", 5},
                                                                     {"PopulateNextShows", 12},
                                                                     {"PopulateRecentShows", 12},
                                                                     {"PopulateSearchTable", 6},
                                                                     {"PopulateSeasonsTable", 4},
                                                                     {"AddRssItem", 2},
                                                                     {"ShowResults", 0},
                                                                     {"NoResults", 0},
                                                                     {"initFinish", 0}};
  ASSERT_EQ(fixture.script.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(fixture.script.calls[i].name, expected[i].first);
    EXPECT_EQ(fixture.script.calls[i].args.size(), expected[i].second) << expected[i].first;
  }
}

TEST(PageCallsTest, HostileTextIsPassedOnUnchanged) {
  test::RecordingWebPage fixture;
  const std::string hostile = "\"); window.external.OnClose(); (\"";
  fixture.page.PopulateMyShowsTable(hostile, "</script><b>x", "", "", "");
  ASSERT_EQ(fixture.script.calls.size(), 1u);
  EXPECT_EQ(fixture.script.calls[0].args[0], hostile);
  EXPECT_EQ(fixture.script.calls[0].args[1], "</script><b>x");
}

}  // namespace
}  // namespace quorvel
