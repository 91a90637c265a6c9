// Whatever a remote server sends, a load ends within the fetch limits with an empty document, reads
// no local file and makes no request beyond the one asked for.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/XmlDocument.h"
#include "platform/HttpFetcher.h"
#include "shows/RssChannel.h"
#include "shows/SeriesRecord.h"
#include "support/LoopbackTest.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr const char* kSeriesPath = "/api/9F41B2D07E6A3C15/series/80001/all/en.xml";

FetchLimits QuickLimits() {
  return test::QuickFetchLimits();
}

class HostileSourceTest : public test::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    marker_ = root() + "/private-marker.txt";
    test::WriteFile(marker_, kMarker);
  }
  // Loads the series document through the short-limit fetcher.
  SeriesRecord ReadSeries(bool* result = nullptr) {
    ScopedFetcher quick(fetcher_);
    SeriesRecord record;
    const bool read = record.ReadSeriesDocument(server_->url(kSeriesPath));
    if (result) *result = read;
    return record;
  }

  void ExpectFailedRead(const SeriesRecord& record, bool result) {
    EXPECT_FALSE(result);
    EXPECT_TRUE((record.id).empty());
    EXPECT_TRUE((record.SeriesName).empty());
    EXPECT_TRUE((record.episodes).empty());
  }

  void ExpectOnlyTheOneRequest() {
    EXPECT_EQ(server_->hits(), std::vector<std::string>{kSeriesPath});
  }

  // The server still answers normally afterwards: a bad answer does not poison later loads.
  void ExpectNextLoadWorks() {
    server_->fault(kSeriesPath, "none");
    bool result = false;
    const SeriesRecord record = ReadSeries(&result);
    EXPECT_TRUE(result);
    EXPECT_EQ(record.SeriesName, "Harbour Lights");
  }

  static constexpr const char* kMarker = "MARKER-7f3a-private-file-content";
  HttpFetcher fetcher_{QuickLimits()};
  std::string marker_;
};

// Answers that are refused as a whole, each after exactly one request.
class RefusedAnswerTest : public HostileSourceTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedAnswerTest, GivesAnEmptyRecordAfterOneRequest) {
  ASSERT_TRUE(server_->fault(kSeriesPath, GetParam()));
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
  ExpectOnlyTheOneRequest();
  ExpectNextLoadWorks();
}

INSTANTIATE_TEST_SUITE_P(Faults, RefusedAnswerTest,
                         ::testing::Values("404", "500", "truncated", "not-xml", "empty",
                                           "billion-laughs", "doctype-http", "doctype-dtd",
                                           "oversized", "gzip-bomb"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return "Fault" + name;
                         });

TEST_F(HostileSourceTest, AnExternalEntityNeverReadsALocalFile) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "doctype-file", {{"target", marker_}}));
  ScopedFetcher quick(fetcher_);
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  ASSERT_TRUE(raw.ok);
  EXPECT_TRUE(Contains(raw.body, marker_)) << "the document does point at the file";
  EXPECT_TRUE(XmlDocument::Parse(raw.body).IsEmpty());
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
  EXPECT_EQ(record.SeriesFileText().find(kMarker), std::string::npos);
}

TEST_F(HostileSourceTest, AnExternalEntityInALocalFileIsNotFollowed) {
  const std::string path = root() + "/hostile.xml";
  test::WriteFile(path, "<?xml version=\"1.0\"?><!DOCTYPE Data [<!ENTITY leak SYSTEM \"file://" +
                            marker_ +
                            "\">]><Data><Series><id>1</id><SeriesName>&leak;</SeriesName>" +
                            "</Series><Episode><id>2</id></Episode></Data>");
  SeriesRecord record;
  EXPECT_FALSE(record.ReadSeriesDocument(path));
  EXPECT_TRUE((record.SeriesName).empty());
}

TEST_F(HostileSourceTest, AnExternalEntityOverHttpIsNeverFetched) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "doctype-http"));
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
  const std::vector<std::string> hits = server_->hits();
  EXPECT_EQ(std::count(hits.begin(), hits.end(), "/_entity-probe"), 0);
  ExpectOnlyTheOneRequest();
}

TEST_F(HostileSourceTest, EndlessRedirectsStopAfterFive) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "redirect-loop"));
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
  const std::vector<std::string> hits = server_->hits();
  ASSERT_EQ(hits.size(), 6u) << "the request and five redirects";
  EXPECT_EQ(hits.front(), kSeriesPath);
  EXPECT_EQ(hits.back(), "/fault/redirect-loop?step=5");
}

TEST_F(HostileSourceTest, ARedirectToALocalFileIsNotFollowed) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "redirect-file", {{"target", "file://" + marker_}}));
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(raw.ok);
  EXPECT_EQ(raw.body.find(kMarker), std::string::npos);
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
}

TEST_F(HostileSourceTest, OnlyHttpAndHttpsAreFetched) {
  for (const std::string& url :
       {"file://" + marker_, std::string("ftp://127.0.0.1/x"), std::string("gopher://127.0.0.1/x"),
        "FILE://" + marker_, std::string("dict://127.0.0.1:1/")}) {
    const FetchResult raw = fetcher_.Fetch(url);
    EXPECT_FALSE(raw.ok) << url;
    EXPECT_TRUE((raw.body).empty()) << url;
  }
  // Not an address LoadDocument fetches, and no such file either.
  EXPECT_TRUE(XmlDocument::LoadDocument("file://" + marker_).IsEmpty());
}

TEST_F(HostileSourceTest, ABodyOverTheLimitIsCountedAsItArrives) {
  // The program's own limits: on a busy machine 32 MB may take longer than the short time limit.
  HttpFetcher standard;
  ASSERT_TRUE(server_->fault(kSeriesPath, "oversized"));
  const FetchResult chunked = standard.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(chunked.ok);
  EXPECT_TRUE((chunked.body).empty());
  EXPECT_TRUE(Contains(chunked.error, "limit")) << chunked.error;

  ASSERT_TRUE(server_->fault(kSeriesPath, "gzip-bomb"));
  const FetchResult inflated = standard.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(inflated.ok);
  EXPECT_TRUE(Contains(inflated.error, "limit")) << inflated.error;
}

TEST_F(HostileSourceTest, AServerThatSendsNothingIsLeftBehind) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "slow-headers"));
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(raw.ok);
  EXPECT_TRUE(Contains(raw.error, "too slow")) << raw.error;
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
}

TEST_F(HostileSourceTest, AStalledBodyIsLeftBehind) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "stall-body"));
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(raw.ok);
  EXPECT_TRUE(Contains(raw.error, "too slow")) << raw.error;
}

TEST_F(HostileSourceTest, ATricklingBodyIsLeftBehind) {
  ASSERT_TRUE(server_->fault(kSeriesPath, "trickle", {{"interval", "0.1"}}));
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(raw.ok);
  EXPECT_TRUE(Contains(raw.error, "too slow")) << raw.error;
  bool result = true;
  const SeriesRecord record = ReadSeries(&result);
  ExpectFailedRead(record, result);
}

TEST_F(HostileSourceTest, ABodyFastEnoughButEndlessHitsTheTotalTimeLimit) {
  // About 20 kB/s: above the speed floor, so only the total limit can end it.
  ASSERT_TRUE(server_->fault(kSeriesPath, "trickle", {{"interval", "0.1"}, {"bytes", "2048"}}));
  const FetchResult raw = fetcher_.Fetch(server_->url(kSeriesPath));
  EXPECT_FALSE(raw.ok);
  EXPECT_TRUE(Contains(raw.error, "timed out")) << raw.error;
}

TEST_F(HostileSourceTest, AClosedPortIsAFailedLoad) {
  const FetchResult raw = fetcher_.Fetch("http://127.0.0.1:1/update.xml");
  EXPECT_FALSE(raw.ok);
  ScopedFetcher quick(fetcher_);
  EXPECT_TRUE(XmlDocument::LoadDocument("http://127.0.0.1:1/update.xml").IsEmpty());
}

TEST_F(HostileSourceTest, TheFeedFromAMisbehavingServerHasNoItems) {
  for (const char* kind : {"500", "billion-laughs", "truncated", "gzip-bomb"}) {
    ASSERT_TRUE(server_->fault("/other/shows.rss", kind));
    ScopedFetcher quick(fetcher_);
    RssChannel channel;
    EXPECT_FALSE(channel.ReadFeed()) << kind;
    EXPECT_TRUE((channel.items).empty()) << kind;
    EXPECT_TRUE((channel.title).empty()) << kind;
  }
}

TEST(FetchLimitsTest, TheProgramsLimits) {
  const FetchLimits limits;
  EXPECT_EQ(limits.connectTimeoutMs, 10000);
  EXPECT_EQ(limits.lowSpeedBytesPerSecond, 1024);
  EXPECT_EQ(limits.lowSpeedSeconds, 15);
  EXPECT_EQ(limits.totalTimeoutMs, 60000);
  EXPECT_EQ(limits.maxRedirects, 5);
  EXPECT_EQ(limits.maxBodyBytes, 32u * 1024u * 1024u);
  EXPECT_EQ(kMaxDocumentBytes, limits.maxBodyBytes);
}

}  // namespace
}  // namespace quorvel
