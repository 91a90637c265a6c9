// The catalogue's place in the program: the default TheTVDB host, its credit, its call limit.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "app/Environment.h"
#include "bridge/CMainDlg.h"
#include "catalogue/EmbeddedCatalogue.h"
#include "catalogue/RateLimiter.h"
#include "core/Places.h"
#include "shows/SeriesRecord.h"
#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel::catalogue {
namespace {

using test::ScopedEnv;

class CatalogueHostsTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    const char* host = std::getenv("QUORVEL_TVDB_HOST");
    savedHost_ = host ? host : "";
    hadHost_ = host != nullptr;
    unsetenv("QUORVEL_TVDB_HOST");
    // Nothing here must reach the real service.
    setenv("QUORVEL_TVMAZE_URL", "http://127.0.0.1:9/", 1);
    setenv("QUORVEL_TVMAZE_IMAGES_URL", "http://127.0.0.1:9/", 1);
  }
  void TearDown() override {
    if (hadHost_)
      setenv("QUORVEL_TVDB_HOST", savedHost_.c_str(), 1);
    else
      unsetenv("QUORVEL_TVDB_HOST");
    unsetenv("QUORVEL_TVMAZE_URL");
    unsetenv("QUORVEL_TVMAZE_IMAGES_URL");
    SandboxedTest::TearDown();
  }

 private:
  std::string savedHost_;
  bool hadHost_ = false;
};

TEST_F(CatalogueHostsTest, TheCatalogueIsTheDefaultTvdbHostWhileItRuns) {
  EXPECT_EQ(ReadPlaces().tvdbHost, "thetvdb.com");
  EXPECT_FALSE(CatalogueAnswersTvdb());
  {
    EmbeddedCatalogue catalogue;
    ASSERT_TRUE(catalogue.running());
    const std::string host = EmbeddedCatalogueHost();
    EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u);
    const Places read = ReadPlaces();
    EXPECT_EQ(read.tvdbHost, host);
    EXPECT_TRUE(read.catalogueCredit);
    EXPECT_TRUE(CatalogueAnswersTvdb());
    {
      const ScopedPlaces installed(read);
      EXPECT_EQ(GetSeriesRecordUrl("82"),
                "http://" + host + "/api/9F41B2D07E6A3C15/series/82/all/en.xml");
      EXPECT_NE(CMainDlg::PageAddress().find("&credit=tvmaze"), std::string::npos);
    }

    // Set after the catalogue started, the variable still wins when the places are read.
    setenv("QUORVEL_TVDB_HOST", "127.0.0.1:8081", 1);
    const Places overridden = ReadPlaces();
    EXPECT_EQ(overridden.tvdbHost, "127.0.0.1:8081");
    EXPECT_FALSE(overridden.catalogueCredit);
    EXPECT_FALSE(CatalogueAnswersTvdb());
    {
      const ScopedPlaces installed(overridden);
      EXPECT_EQ(CMainDlg::PageAddress().find("credit="), std::string::npos);
    }
    unsetenv("QUORVEL_TVDB_HOST");
  }
  EXPECT_EQ(EmbeddedCatalogueHost(), "");
  const Places after = ReadPlaces();
  EXPECT_EQ(after.tvdbHost, "thetvdb.com");
  const ScopedPlaces installed(after);
  EXPECT_EQ(CMainDlg::PageAddress().find("credit="), std::string::npos);
}

TEST_F(CatalogueHostsTest, EachHostVariableOverridesItsDefault) {
  const Places defaults = ReadPlaces();
  EXPECT_EQ(defaults.feedHost, "showrss.info");
  EXPECT_EQ(defaults.updateHost, "www.quorvel.net");
  EXPECT_EQ(defaults.pageHost, "");
  const ScopedEnv feed("QUORVEL_FEED_HOST", "127.0.0.1:1");
  const ScopedEnv update("QUORVEL_UPDATE_HOST", "127.0.0.1:2");
  const ScopedEnv page("QUORVEL_PAGE_HOST", "127.0.0.1:3");
  const ScopedEnv empty("QUORVEL_TVDB_HOST", "");  // empty keeps the default
  const Places read = ReadPlaces();
  EXPECT_EQ(read.feedHost, "127.0.0.1:1");
  EXPECT_EQ(read.updateHost, "127.0.0.1:2");
  EXPECT_EQ(read.pageHost, "127.0.0.1:3");
  EXPECT_EQ(read.tvdbHost, "thetvdb.com");
}

TEST_F(CatalogueHostsTest, ASetTvdbHostBypassesTheCatalogue) {
  setenv("QUORVEL_TVDB_HOST", "127.0.0.1:8081", 1);
  EmbeddedCatalogue catalogue;
  EXPECT_FALSE(catalogue.running());
  EXPECT_EQ(EmbeddedCatalogueHost(), "");
  EXPECT_EQ(ReadPlaces().tvdbHost, "127.0.0.1:8081");
  EXPECT_FALSE(CatalogueAnswersTvdb());
}

TEST(CatalogueRateLimiterTest, AtMostTheGivenCallsInAnyWindow) {
  using namespace std::chrono_literals;
  RateLimiter limiter(3, 10s);
  const RateLimiter::Clock::time_point t0{};
  for (auto at : {t0, t0 + 1s, t0 + 2s}) {
    EXPECT_EQ(limiter.WaitBefore(at), 0s);
    limiter.Record(at);
  }
  EXPECT_EQ(limiter.WaitBefore(t0 + 3s), 7s);  // the first call leaves the window at 10 s
  EXPECT_EQ(limiter.WaitBefore(t0 + 10s), 0s);
  limiter.Record(t0 + 10s);
  EXPECT_EQ(limiter.WaitBefore(t0 + 10s), 1s);  // now the call at 1 s is the oldest
  EXPECT_EQ(limiter.WaitBefore(t0 + 30s), 0s);
}

TEST(CatalogueRateLimiterTest, AHoldDelaysEveryCall) {
  using namespace std::chrono_literals;
  RateLimiter limiter(20, 10s);
  const RateLimiter::Clock::time_point t0{};
  limiter.HoldUntil(t0 + 5s);
  limiter.HoldUntil(t0 + 2s);  // a shorter hold does not cut the longer one
  EXPECT_EQ(limiter.WaitBefore(t0), 5s);
  EXPECT_EQ(limiter.WaitBefore(t0 + 4s), 1s);
  EXPECT_EQ(limiter.WaitBefore(t0 + 5s), 0s);
}

TEST(CatalogueRateLimiterTest, TheProgramsLimitIsTwentyInTenSeconds) {
  using namespace std::chrono_literals;
  RateLimiter limiter(20, 10s);
  RateLimiter::Clock::time_point now{};
  int calls = 0;
  // Eager callers over one simulated minute.
  for (int step = 0; step < 600; ++step, now += 100ms) {
    while (limiter.WaitBefore(now) == 0s) {
      limiter.Record(now);
      ++calls;
    }
  }
  EXPECT_EQ(calls, 120);
}

}  // namespace
}  // namespace quorvel::catalogue
