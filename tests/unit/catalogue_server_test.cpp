// The catalogue over HTTP, against a scripted loopback upstream: answers, cache, politeness and
// failures as the native side sees them.

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "catalogue/CatalogueServer.h"
#include "catalogue/TvmazeCatalogue.h"
#include "catalogue/TvmazeMapping.h"
#include "support/LegacyAnswer.h"
#include "support/Sandbox.h"
#include "support/UpstreamStub.h"

namespace quorvel::catalogue {
namespace {

using test::HttpAnswer;
using test::HttpGet;
using test::Json;
using test::LegacyAnswer;
using test::ReadFile;
using test::ReadLegacyAnswer;
using test::UpstreamStub;

const char kSearch[] = "/tvmaze/search/shows?q=under%20dome";
const char kShow[] = "/tvmaze/shows/1";
const char kEpisodes[] = "/tvmaze/shows/1/episodes?specials=1";
const char kPoster[] = "/img/uploads/images/medium_portrait/81/202627.jpg";
const char kPosterPath[] = "uploads/images/medium_portrait/81/202627.jpg";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "not really a picture";

std::string Fixture(const std::string& name) {
  return ReadFile(std::string(QUORVEL_TESTS_DIR) + "/fixtures/tvmaze/" + name);
}

class CatalogueServerTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    upstream_ = std::make_unique<UpstreamStub>();
    setenv("QUORVEL_TVMAZE_URL", (upstream_->BaseUrl() + "/tvmaze").c_str(), 1);
    setenv("QUORVEL_TVMAZE_IMAGES_URL", (upstream_->BaseUrl() + "/img/").c_str(), 1);
    upstream_->On(kSearch, Json(Fixture("search_dome.json")));
    upstream_->On(kShow, Json(Fixture("show_1.json")));
    upstream_->On(kEpisodes, Json(Fixture("show_1_episodes.json")));
    upstream_->On(kPoster, UpstreamStub::Response{200, kJpeg, "image/jpeg", {}});
  }

  void TearDown() override {
    server_.reset();
    upstream_.reset();
    unsetenv("QUORVEL_TVMAZE_URL");
    unsetenv("QUORVEL_TVMAZE_IMAGES_URL");
    SandboxedTest::TearDown();
  }

  // TVmaze's two answers for a show: the show, and its episodes with specials.
  void ScriptShow(const std::string& id, const std::string& show,
                  const std::string& episodes = "[]") {
    upstream_->On("/tvmaze/shows/" + id, Json(show));
    upstream_->On("/tvmaze/shows/" + id + "/episodes?specials=1", Json(episodes));
  }

  // Options as the program takes them, with test-sized waits.
  static CatalogueOptions Options() {
    CatalogueOptions options = CatalogueOptions::FromEnvironment();
    options.answerBudget = std::chrono::milliseconds(10000);
    return options;
  }

  void StartCatalogue(CatalogueOptions options = Options()) {
    server_ = std::make_unique<CatalogueServer>(options);
    ASSERT_TRUE(server_->Start());
  }

  HttpAnswer Get(const std::string& pathAndQuery) {
    return HttpGet("http://" + server_->HostAndPort() + pathAndQuery);
  }

  LegacyAnswer Search(const std::string& encodedText) {
    const HttpAnswer answer = Get("/api/GetSeries.php?seriesname=" + encodedText);
    return ReadLegacyAnswer(answer.body);
  }

  LegacyAnswer SeriesDocument(const std::string& id) {
    return ReadLegacyAnswer(Get("/api/9F41B2D07E6A3C15/series/" + id + "/all/en.xml").body);
  }

  // Moves every cache entry's time of storage back by the given seconds.
  void AgeCache(long seconds) {
    const std::filesystem::path folder = root() + "/cache/quorvel";
    ASSERT_TRUE(std::filesystem::exists(folder));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      const std::time_t when = std::time(nullptr) - seconds;
      const struct utimbuf times = {when, when};
      ASSERT_EQ(utime(entry.path().c_str(), &times), 0);
    }
  }

  // Dates one cache entry ("series/1.json") the given seconds back.
  void AgeEntry(const std::string& key, long seconds) {
    const std::time_t when = std::time(nullptr) - seconds;
    const struct utimbuf times = {when, when};
    ASSERT_EQ(utime((root() + "/cache/quorvel/" + key).c_str(), &times), 0);
  }

  // An address where nothing listens any more.
  static std::string DeadBase() {
    UpstreamStub gone;
    return gone.BaseUrl();
  }

  std::unique_ptr<UpstreamStub> upstream_;
  std::unique_ptr<CatalogueServer> server_;
};

TEST_F(CatalogueServerTest, SearchAnswersInTheLegacyShape) {
  StartCatalogue();
  const HttpAnswer answer = Get("/api/GetSeries.php?seriesname=under%20dome");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.contentType.rfind("text/xml", 0), 0u);
  const LegacyAnswer hits = ReadLegacyAnswer(answer.body);
  ASSERT_TRUE(hits.wellFormed);
  EXPECT_EQ(hits.rootName, "Data");
  ASSERT_EQ(hits.series.size(), 3u);
  EXPECT_EQ(hits.series[0].at("id"), "1");
  EXPECT_EQ(hits.series[0].at("seriesid"), "1");
  EXPECT_EQ(hits.series[0].at("SeriesName"), "Under the Dome");
  EXPECT_EQ(hits.series[0].at("banner"), kPosterPath);
  EXPECT_EQ(hits.series[0].at("FirstAired"), "2013-06-24");
  EXPECT_EQ(hits.series[0].at("Network"), "CBS");
  EXPECT_EQ(hits.series[0].at("IMDB_ID"), "tt1553656");
  EXPECT_EQ(hits.series[1].at("SeriesName"), "Dome Street & <Friends>");
  EXPECT_EQ(hits.series[1].at("Network"), "Netflix");
  EXPECT_EQ(hits.series[1].at("banner"), "");
  EXPECT_EQ(upstream_->Hits(kSearch), 1);
}

TEST_F(CatalogueServerTest, SearchTextIsEverythingAfterSeriesname) {
  struct Row {
    const char* rawQuery;
    const char* text;
  };
  const Row rows[] = {
      {"seriesname=dome", "dome"},
      {"seriesname=under%20dome", "under dome"},
      {"seriesname=under+dome", "under dome"},
      {"seriesname=Law%20&%20Order", "Law & Order"},
      {"seriesname=Law & Order", "Law & Order"},
      {"seriesname=100%", "100%"},
      {"seriesname=caf%C3%A9", "caf\xC3\xA9"},
      {"language=en&seriesname=dome", "dome"},
      {"seriesname=", ""},
      {"", ""},
      {"name=dome", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(SearchTextOf(row.rawQuery), row.text) << row.rawQuery;

  upstream_->On("/tvmaze/search/shows?q=Law%20%26%20Order", Json("[]"));
  StartCatalogue();
  const LegacyAnswer none = Search("Law%20&%20Order");
  EXPECT_TRUE(none.wellFormed);
  EXPECT_TRUE(none.series.empty());
  EXPECT_EQ(upstream_->Hits("/tvmaze/search/shows?q=Law%20%26%20Order"), 1);
}

TEST_F(CatalogueServerTest, BlankSearchAsksNobody) {
  StartCatalogue();
  for (const char* text : {"", "%20%20", "+"}) {
    const LegacyAnswer none = Search(text);
    EXPECT_TRUE(none.wellFormed) << text;
    EXPECT_TRUE(none.series.empty()) << text;
  }
  EXPECT_EQ(upstream_->TotalHits(), 0);
}

TEST_F(CatalogueServerTest, SeriesDocumentHasTheShowAndItsEpisodesForAnyKey) {
  StartCatalogue();
  for (const char* key : {"9F41B2D07E6A3C15", "anything"}) {
    const HttpAnswer answer = Get(std::string("/api/") + key + "/series/1/all/en.xml");
    EXPECT_EQ(answer.status, 200);
    const LegacyAnswer document = ReadLegacyAnswer(answer.body);
    ASSERT_TRUE(document.wellFormed);
    ASSERT_EQ(document.series.size(), 1u);
    const auto& series = document.series[0];
    EXPECT_EQ(series.size(), 14u);
    EXPECT_EQ(series.at("id"), "1");
    EXPECT_EQ(series.at("SeriesName"), "Under the Dome");
    EXPECT_EQ(series.at("Genre"), "|Drama|Science-Fiction|Thriller|");
    EXPECT_EQ(series.at("Airs_DayOfWeek"), "Thursday");
    EXPECT_EQ(series.at("Airs_Time"), "22:00");
    EXPECT_EQ(series.at("poster"), kPosterPath);
    EXPECT_EQ(series.at("Status"), "Ended");
    ASSERT_EQ(document.episodes.size(), 5u);
    EXPECT_EQ(document.episodes[0].size(), 13u);
    EXPECT_EQ(document.episodes[0].at("EpisodeName"), "Pilot");
    EXPECT_EQ(document.episodes[4].at("Combined_season"), "2");
    EXPECT_EQ(document.episodes[4].at("EpisodeNumber"), "2");
  }
  EXPECT_EQ(upstream_->Hits(kShow), 1);  // the second came from the cache
}

TEST_F(CatalogueServerTest, EpisodeDatesAreTheLocalDayOfTheAirstamp) {
  StartCatalogue();
  // The pilot airs at 02:00 UTC. The cache keeps TVmaze's answer, so each zone maps afresh.
  SetTimeZone("America/New_York");
  EXPECT_EQ(SeriesDocument("1").episodes.at(0).at("FirstAired"), "2013-06-24");
  SetTimeZone("Europe/Berlin");
  EXPECT_EQ(SeriesDocument("1").episodes.at(0).at("FirstAired"), "2013-06-25");
  EXPECT_EQ(upstream_->Hits(kShow), 1);
}

TEST_F(CatalogueServerTest, UnknownOrMalformedSeriesReadAsNoSeries) {
  upstream_->On("/tvmaze/shows/404", {404, "{\"name\":\"Not Found\"}", "application/json", {}});
  StartCatalogue();
  for (const char* id : {"404", "abc", "12345678901", "-1", "1.5"}) {
    const HttpAnswer answer = Get(std::string("/api/key/series/") + id + "/all/en.xml");
    EXPECT_EQ(answer.status, 404) << id;
    const LegacyAnswer document = ReadLegacyAnswer(answer.body);
    EXPECT_TRUE(document.wellFormed) << id;
    EXPECT_TRUE(document.series.empty()) << id;
  }
  EXPECT_EQ(upstream_->TotalHits(), 1);  // only the well-formed id went upstream
  EXPECT_EQ(Get("/api/key/series/1/all/de.zip").status, 404);
  EXPECT_EQ(Get("/other/shows.rss").status, 404);
}

TEST_F(CatalogueServerTest, ArtworkPassesThroughFromTheImageHost) {
  StartCatalogue();
  const HttpAnswer poster = Get(std::string("/banners/") + kPosterPath);
  EXPECT_EQ(poster.status, 200);
  EXPECT_EQ(poster.body, kJpeg);
  EXPECT_EQ(poster.contentType, "image/jpeg");
  EXPECT_EQ(Get(std::string("/banners/") + kPosterPath).body, kJpeg);
  EXPECT_EQ(upstream_->Hits(kPoster), 1);

  for (const char* path :
       {"/banners/", "/banners/%2e%2e/etc/passwd", "/banners/a//b.jpg", "/banners/a%3Fb.jpg"})
    EXPECT_EQ(Get(path).status, 404) << path;
  EXPECT_EQ(Get("/banners/uploads/missing.jpg").status, 404);
  EXPECT_EQ(upstream_->TotalHits(), 2);
}

TEST_F(CatalogueServerTest, FreshEntriesAskNobodyAndOldOnesAreFetchedAgain) {
  StartCatalogue();
  EXPECT_EQ(SeriesDocument("1").series.size(), 1u);
  EXPECT_EQ(Search("under%20dome").series.size(), 3u);
  AgeCache(30 * 60);  // younger than a show's hour
  SeriesDocument("1");
  Search("under%20dome");
  EXPECT_EQ(upstream_->Hits(kShow), 1);
  EXPECT_EQ(upstream_->Hits(kSearch), 1);
  AgeCache(2 * 3600);  // older than an hour, younger than a search's day
  SeriesDocument("1");
  Search("under%20dome");
  EXPECT_EQ(upstream_->Hits(kShow), 2);
  EXPECT_EQ(upstream_->Hits(kSearch), 1);
  AgeCache(2 * 86400);
  Search("under%20dome");
  EXPECT_EQ(upstream_->Hits(kSearch), 2);
}

TEST_F(CatalogueServerTest, OldEntriesAreServedWhenUpstreamFails) {
  StartCatalogue();
  ASSERT_EQ(SeriesDocument("1").episodes.size(), 5u);
  ASSERT_EQ(Search("under%20dome").series.size(), 3u);
  ASSERT_EQ(Get(std::string("/banners/") + kPosterPath).body, kJpeg);
  AgeCache(3 * 86400);
  upstream_->On(kShow, {500, "oops", "text/plain", {}});
  upstream_->On(kSearch, Json("this is not json"));
  upstream_->On(kPoster, {503, "", "text/plain", {}});
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  EXPECT_EQ(Search("under%20dome").series.size(), 3u);
  EXPECT_EQ(Get(std::string("/banners/") + kPosterPath).body, kJpeg);
  EXPECT_EQ(upstream_->Hits(kShow), 1);

  // Nobody listening at all.
  server_.reset();
  CatalogueOptions options = Options();
  options.apiBase = DeadBase();
  options.imagesBase = options.apiBase;
  StartCatalogue(options);
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  EXPECT_EQ(Search("under%20dome").series.size(), 3u);
  EXPECT_EQ(Get(std::string("/banners/") + kPosterPath).body, kJpeg);
}

TEST_F(CatalogueServerTest, NothingCachedAndUpstreamDownReadsLikeADeadHost) {
  CatalogueOptions options = Options();
  options.apiBase = DeadBase();
  options.imagesBase = options.apiBase;
  StartCatalogue(options);
  const HttpAnswer search = Get("/api/GetSeries.php?seriesname=under%20dome");
  EXPECT_NE(search.status, 200);
  EXPECT_TRUE(ReadLegacyAnswer(search.body).series.empty());
  const HttpAnswer series = Get("/api/key/series/1/all/en.xml");
  EXPECT_NE(series.status, 200);
  const LegacyAnswer document = ReadLegacyAnswer(series.body);
  EXPECT_TRUE(document.series.empty());
  EXPECT_TRUE(document.episodes.empty());
  EXPECT_NE(Get(std::string("/banners/") + kPosterPath).status, 200);
}

TEST_F(CatalogueServerTest, TooManyRequestsWaitsAndRetriesOnce) {
  upstream_->On(
      kShow, {{429, "", "application/json", {{"Retry-After", "0"}}}, Json(Fixture("show_1.json"))});
  StartCatalogue();
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  EXPECT_EQ(upstream_->Hits(kShow), 2);

  // Asked to wait longer than an answer may take: no retry, and nothing to show.
  upstream_->On(kSearch, {429, "", "application/json", {{"Retry-After", "3600"}}});
  EXPECT_TRUE(Search("under%20dome").series.empty());
  EXPECT_EQ(upstream_->Hits(kSearch), 1);
  // Meanwhile nobody calls: a show that is not cached reads as a dead host's.
  ScriptShow("2", "{\"id\":2}");
  EXPECT_TRUE(SeriesDocument("2").series.empty());
  EXPECT_EQ(upstream_->Hits("/tvmaze/shows/2"), 0);
}

TEST_F(CatalogueServerTest, TooManyRequestsWithAnOldEntryServesItAtOnce) {
  StartCatalogue();
  ASSERT_EQ(SeriesDocument("1").episodes.size(), 5u);
  AgeCache(2 * 3600);
  upstream_->On(kShow, {429, "", "application/json", {{"Retry-After", "1"}}});
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  EXPECT_EQ(upstream_->Hits(kShow), 1);
}

TEST_F(CatalogueServerTest, UpstreamCallsAreLimited) {
  CatalogueOptions options = Options();
  options.maxUpstreamCalls = 4;  // two shows of two calls each
  options.upstreamWindow = std::chrono::hours(1);
  options.answerBudget = std::chrono::milliseconds(300);
  for (const char* id : {"2", "3", "4"})
    ScriptShow(id, std::string("{\"id\":") + id + ",\"name\":\"Show " + id + "\"}");
  StartCatalogue(options);
  EXPECT_EQ(SeriesDocument("2").series.size(), 1u);
  EXPECT_EQ(SeriesDocument("3").series.size(), 1u);
  // The next call would have to wait an hour: the answer is the dead host's.
  EXPECT_TRUE(SeriesDocument("4").series.empty());
  EXPECT_EQ(upstream_->TotalHits(), 4);
  // An old entry stands in without waiting.
  AgeCache(2 * 3600);
  EXPECT_EQ(SeriesDocument("2").series.size(), 1u);
  EXPECT_EQ(upstream_->TotalHits(), 4);
}

TEST_F(CatalogueServerTest, HostileUpstreamAnswersAreRefused) {
  CatalogueOptions options = Options();
  options.limits.maxBodyBytes = 4096;
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  ScriptShow("11", deep);
  ScriptShow("12", "{\"id\":12,\"name\":\"" + std::string(8000, 'x') + "\"}");
  upstream_->On("/tvmaze/shows/13", {302, "", "text/plain", {{"Location", "file:///etc/passwd"}}});
  upstream_->On("/tvmaze/shows/14", {302, "", "text/plain", {{"Location", "/tvmaze/shows/14"}}});
  ScriptShow("15", "[{\"id\":15}]");
  // A good show whose episode list is hostile is refused whole.
  ScriptShow("16", "{\"id\":16}", deep);
  ScriptShow("17", "{\"id\":17}", "{\"id\":17}");
  StartCatalogue(options);
  for (const char* id : {"11", "12", "13", "14", "15", "16", "17"}) {
    const LegacyAnswer document = SeriesDocument(id);
    EXPECT_TRUE(document.wellFormed) << id;
    EXPECT_TRUE(document.series.empty()) << id;
  }
  EXPECT_LE(upstream_->Hits("/tvmaze/shows/14"), 6);
  // Nothing refused was kept.
  for (const char* id : {"12", "16", "17"})
    EXPECT_FALSE(test::FileExists(root() + "/cache/quorvel/series/" + id + ".json")) << id;
}

TEST_F(CatalogueServerTest, CacheFollowsXdgCacheHomeAtEachUse) {
  StartCatalogue();
  SeriesDocument("1");
  EXPECT_TRUE(test::FileExists(root() + "/cache/quorvel/series/1.json"));
  setenv("XDG_CACHE_HOME", (root() + "/elsewhere").c_str(), 1);
  SeriesDocument("1");
  EXPECT_TRUE(test::FileExists(root() + "/elsewhere/quorvel/series/1.json"));
  EXPECT_EQ(upstream_->Hits(kShow), 2);
  unsetenv("XDG_CACHE_HOME");  // falls back to HOME/.cache
  SeriesDocument("1");
  EXPECT_TRUE(test::FileExists(root() + "/.cache/quorvel/series/1.json"));
}

TEST_F(CatalogueServerTest, EntriesOlderThanAMonthGoAtStartAndNothingElseDoes) {
  const std::string folder = root() + "/cache/quorvel/";
  test::WriteFile(folder + "shows/5.json", "{\"id\":5}");
  test::WriteFile(folder + "images/abc", "old picture");
  test::WriteFile(folder + "WebKitCache/Version 16/salt", "the browser's own");
  AgeCache(31 * 86400);
  test::WriteFile(folder + "shows/6.json", "{\"id\":6}");
  StartCatalogue();
  Get("/other");  // answered only once the start-up pruning is done
  EXPECT_FALSE(test::FileExists(folder + "shows/5.json"));
  EXPECT_FALSE(test::FileExists(folder + "images/abc"));
  EXPECT_TRUE(test::FileExists(folder + "shows/6.json"));
  EXPECT_TRUE(test::FileExists(folder + "WebKitCache/Version 16/salt"));
}

TEST_F(CatalogueServerTest, StopEndsAnAnswerThatWaitsForUpstream) {
  CatalogueOptions options = Options();
  options.maxUpstreamCalls = 2;  // show 1's two calls
  options.upstreamWindow = std::chrono::hours(1);
  options.answerBudget = std::chrono::minutes(10);
  ScriptShow("2", "{\"id\":2}");
  StartCatalogue(options);
  EXPECT_EQ(SeriesDocument("1").series.size(), 1u);
  const std::string address = "http://" + server_->HostAndPort() + "/api/k/series/2/all/en.xml";
  HttpAnswer waited;
  std::thread client([&] { waited = HttpGet(address); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let it queue behind the limit
  server_->Stop();
  client.join();
  EXPECT_TRUE(ReadLegacyAnswer(waited.body).series.empty());
  EXPECT_FALSE(server_->running());
  EXPECT_EQ(upstream_->Hits("/tvmaze/shows/2"), 0);
}

TEST_F(CatalogueServerTest, AClientThatGaveUpDoesNotHarmTheServer) {
  CatalogueOptions options = Options();
  options.maxUpstreamCalls = 2;
  options.upstreamWindow = std::chrono::milliseconds(800);
  StartCatalogue(options);
  EXPECT_EQ(SeriesDocument("1").series.size(), 1u);
  // This one waits for the limit; its client leaves long before the catalogue answers.
  std::string address = "http://" + server_->HostAndPort() + "/api/k/series/2/all/en.xml";
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 100L);
  EXPECT_NE(curl_easy_perform(curl), CURLE_OK);
  curl_easy_cleanup(curl);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the answer to nobody goes out
  EXPECT_EQ(SeriesDocument("1").series.size(), 1u);
}

TEST_F(CatalogueServerTest, OnlyReadsAreAnswered) {
  StartCatalogue();
  const std::string address = "http://" + server_->HostAndPort() + "/api/key/series/1/all/en.xml";
  EXPECT_EQ(HttpGet(address, "POST").status, 405);
  EXPECT_EQ(HttpGet(address, "DELETE").status, 405);
  EXPECT_EQ(upstream_->TotalHits(), 0);
  EXPECT_EQ(HttpGet(address, "HEAD").status, 200);
}

// Shows 1..count, each with one episode; show n was last changed at 1700000000 + n.
std::string NumberedShow(int n, const std::string& name) {
  return "{\"id\":" + std::to_string(n) + ",\"name\":\"" + name +
         "\",\"updated\":" + std::to_string(1700000000 + n) + "}";
}

std::string OneEpisode(int n) {
  return "[{\"id\":" + std::to_string(n * 100) +
         ",\"season\":1,\"number\":1,\"airdate\":\"2030-01-01\"}]";
}

std::string UpdatesUrl(const std::string& since) {
  return "/tvmaze/updates/shows?since=" + since;
}

TEST_F(CatalogueServerTest, UnchangedShowsComeFromTheCacheForOneCallToTheUpdatesMap) {
  const int count = 200;
  std::string map = "{\"999999\":5";
  for (int n = 1; n <= count; ++n) {
    ScriptShow(std::to_string(n), NumberedShow(n, "Show " + std::to_string(n)), OneEpisode(n));
    if (n % 2) map += ",\"" + std::to_string(n) + "\":" + std::to_string(1700000000 + n);
  }
  map += "}";
  for (const char* since : {"day", "week", "month"}) upstream_->On(UpdatesUrl(since), Json(map));
  CatalogueOptions options = Options();
  options.maxUpstreamCalls = 1000;
  StartCatalogue(options);
  for (int n = 1; n <= count; ++n) ASSERT_EQ(SeriesDocument(std::to_string(n)).episodes.size(), 1u);
  ASSERT_EQ(upstream_->TotalHits(), 2 * count);

  struct Row {
    long copyAge;
    const char* since;  // the one map that is fetched
  };
  // The weekly refresh falls on either side of the copies' week; a copy of 20 hours needs only the
  // day's map.
  const Row rows[] = {{6 * 86400, "week"}, {7 * 86400 + 3 * 3600, "month"}, {20 * 3600, "day"}};
  for (const Row& row : rows) {
    server_.reset();  // the program starts again
    std::filesystem::remove_all(root() + "/cache/quorvel/updates");
    AgeCache(row.copyAge);
    const int before = upstream_->TotalHits();
    StartCatalogue(options);
    for (int n = 1; n <= count; ++n) {
      const LegacyAnswer document = SeriesDocument(std::to_string(n));
      ASSERT_EQ(document.series.size(), 1u) << row.since << " " << n;
      EXPECT_EQ(document.episodes.size(), 1u) << row.since << " " << n;
    }
    EXPECT_EQ(upstream_->TotalHits() - before, 1) << row.since;
    EXPECT_EQ(upstream_->Requests().back(), UpdatesUrl(row.since));
    // Asked again, and after the next start: the map of today still answers.
    SeriesDocument("7");
    server_.reset();
    StartCatalogue(options);
    SeriesDocument("8");
    EXPECT_EQ(upstream_->TotalHits() - before, 1) << row.since;
  }
}

TEST_F(CatalogueServerTest, AShowTheUpdatesMapCallsChangedIsFetchedAgain) {
  for (int n : {2, 3, 4}) ScriptShow(std::to_string(n), NumberedShow(n, "Old"), OneEpisode(n));
  StartCatalogue();
  for (const char* id : {"2", "3", "4"}) ASSERT_EQ(SeriesDocument(id).series.size(), 1u);
  AgeCache(6 * 86400);
  // 2 is as cached; 3 and 4 changed after their copies were taken.
  upstream_->On(UpdatesUrl("week"), Json("{\"2\":1700000002,\"3\":1800000000,\"4\":1800000000}"));
  ScriptShow("3", NumberedShow(3, "New"), OneEpisode(3));
  upstream_->On("/tvmaze/shows/4", {503, "", "text/plain", {}});
  const int before = upstream_->TotalHits();
  EXPECT_EQ(SeriesDocument("2").series.at(0).at("SeriesName"), "Old");
  EXPECT_EQ(SeriesDocument("3").series.at(0).at("SeriesName"), "New");
  // TVmaze fails for 4: the old copy is still better than nothing.
  EXPECT_EQ(SeriesDocument("4").series.at(0).at("SeriesName"), "Old");
  EXPECT_EQ(upstream_->TotalHits() - before, 4);     // the map, 3's two calls, 4's failed one
  EXPECT_EQ(upstream_->Hits("/tvmaze/shows/2"), 1);  // only when it was first cached
  EXPECT_EQ(upstream_->Hits("/tvmaze/shows/3/episodes?specials=1"), 1);
}

TEST_F(CatalogueServerTest, AnUpdatesMapOlderThanTheCopyCannotVouchForIt) {
  StartCatalogue();
  ASSERT_EQ(SeriesDocument("1").episodes.size(), 5u);
  // Today's day map was fetched before this copy was taken; it is not fetched again today.
  test::WriteFile(root() + "/cache/quorvel/updates/day.json", "{}");
  AgeEntry("updates/day.json", 3 * 3600);
  AgeEntry("series/1.json", 2 * 3600);
  server_.reset();
  StartCatalogue();
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  EXPECT_EQ(upstream_->Hits(kShow), 2);
  EXPECT_EQ(upstream_->Hits(UpdatesUrl("day")), 0);

  // An updates map TVmaze cannot give: the show is fetched, and the map is not asked for again at
  // once.
  AgeCache(2 * 86400);
  upstream_->On(UpdatesUrl("week"), Json("not a map"));
  server_.reset();
  StartCatalogue();
  SeriesDocument("1");
  SeriesDocument("1");  // fresh again, from the first of these
  AgeCache(2 * 3600 + 86400);
  SeriesDocument("1");
  EXPECT_EQ(upstream_->Hits(UpdatesUrl("week")), 1);
  EXPECT_EQ(upstream_->Hits(kShow), 4);
}

TEST_F(CatalogueServerTest, CopiesFromBeforeSpecialsOnlyStandInWhenUpstreamIsDown) {
  const auto older = ShowWithEpisodes(Fixture("show_1.json"), Fixture("show_1_episodes.json"));
  ASSERT_TRUE(older.has_value());
  test::WriteFile(root() + "/cache/quorvel/shows/1.json", *older);
  CatalogueOptions options = Options();
  options.apiBase = DeadBase();
  StartCatalogue(options);
  EXPECT_EQ(SeriesDocument("1").episodes.size(), 5u);
  server_.reset();
  ScriptShow("1", Fixture("show_1.json"), "[]");  // TVmaze is back: its answer wins
  StartCatalogue();
  EXPECT_TRUE(SeriesDocument("1").episodes.empty());
  EXPECT_EQ(upstream_->Hits(kShow), 1);
}

}  // namespace
}  // namespace quorvel::catalogue
