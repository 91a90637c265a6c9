// The checks of the running agent: downloads off the UI thread, stores through its queue, one
// check at a time, and the page's follows and unfollows kept when they happen during one.

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/Paths.h"
#include "bridge/MessageWindow.h"
#include "core/AirDate.h"
#include "core/Clock.h"
#include "platform/HttpFetcher.h"
#include "schedule/DataFiles.h"
#include "schedule/Favorites.h"
#include "schedule/RunningCheck.h"
#include "support/RecordingPage.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"
#include "support/TestServer.h"

namespace quorvel::test {
namespace {

using namespace std::chrono_literals;

// Answers from a table like FakeFetcher, but holds every request until opened (or cancelled),
// so that a test can act while a download is in flight.
class GatedFetcher : public Fetcher {
 public:
  GatedFetcher() : installed_(*this) {}

  FetchResult Fetch(const std::string& url) override {
    std::unique_lock lock(mutex_);
    requests_.push_back(url);
    changed_.notify_all();
    while (!open_ && !FetchCancelled()) changed_.wait_for(lock, 10ms);
    if (FetchCancelled()) return {false, {}, "cancelled"};
    const auto found = bodies.find(url);
    if (found == bodies.end()) return {false, {}, "connection refused"};
    return {true, found->second, {}};
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool WaitForRequests(std::size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, [&] { return requests_.size() >= n; });
  }
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  std::map<std::string, std::string> bodies;  // set before the check starts

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> requests_;
  bool open_ = false;
  ScopedFetcher installed_;
};

class RunningChecksTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    folder = GetDataFolder();
    now = *ParseAirDate(FormatLocalDate(static_cast<int64_t>(std::time(nullptr)))) + 10 * 3600;
  }
  void TearDown() override {
    // Closures still queued for the window are dropped with it, never run on a gone check.
    checks.reset();
    SandboxedTest::TearDown();
  }

  void StartChecks() {
    checks = std::make_unique<RunningChecks>(
        [this](std::function<void()> call) { window.PostCall(std::move(call)); },
        [this](const CheckOutcome& outcome) { outcomes.push_back(outcome); });
  }
  // The UI thread's part: runs the main loop and the queue until done() or five seconds.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      MessageWindow::DrainPosted();
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }
  bool Finished(std::size_t n) {
    return PumpUntil([&] { return outcomes.size() >= n; });
  }

  FavoriteShow Followed(const std::string& id, int addedDaysAgo,
                        std::vector<EpisodeFixture> episodes = {}) {
    const FavoriteShow entry =
        StoreSeries(folder, {.id = id, .SeriesName = "Stale"}, DaysFromToday(-addedDaysAgo));
    fetcher.bodies[GetSeriesRecordUrl(id)] =
        SeriesDocument({.id = id, .SeriesName = "Fresh " + id, .episodes = episodes});
    return entry;
  }
  void Follow(const std::vector<FavoriteShow>& entries) {
    WriteFile(GetFavoritesPath(), FavoritesDocument(entries));
  }
  std::string StoredName(const std::string& id) const {
    SeriesRecord record;
    record.ReadSeriesDocument(folder + id + ".xml");
    return record.SeriesName;
  }
  // "id DateAdded" of every favourite, in file order.
  std::vector<std::string> Favourites() const {
    FavoriteList list;
    ReadFavorites(list, GetFavoritesPath());
    std::vector<std::string> entries;
    for (const auto& f : list) entries.push_back(f.seriesid + " " + f.DateAdded);
    return entries;
  }
  std::string Today() const { return FormatLocalDate(now); }

  std::atomic<int64_t> now{0};
  ScopedClock clock{[this] { return now.load(); }};
  std::string folder;
  GatedFetcher fetcher;
  MessageWindow window;
  std::vector<CheckOutcome> outcomes;
  std::unique_ptr<RunningChecks> checks;
};

TEST_F(RunningChecksTest, RequestsDuringACheckMergeIntoItAndEachDueSeriesIsDownloadedOnce) {
  Follow({Followed("1", 8), Followed("2", 8), Followed("3", 1)});
  StartChecks();
  ASSERT_TRUE(checks->Request());
  ASSERT_TRUE(fetcher.WaitForRequests(1));
  EXPECT_FALSE(checks->Request()) << "a wake while the check runs";
  EXPECT_FALSE(checks->Request()) << "midnight while the check runs";
  EXPECT_EQ(checks->mergedRequests(), 2);
  fetcher.Open();
  ASSERT_TRUE(Finished(1));
  EXPECT_FALSE(checks->running());
  EXPECT_EQ(fetcher.requests(),
            (std::vector<std::string>{GetSeriesRecordUrl("1"), GetSeriesRecordUrl("2")}));
  EXPECT_EQ(outcomes[0].stored, 2);
  EXPECT_EQ(StoredName("1"), "Fresh 1");
  EXPECT_EQ(Favourites(),
            (std::vector<std::string>{"1 " + Today(), "2 " + Today(), "3 " + DaysFromToday(-1)}));
  // The next check finds nothing due.
  ASSERT_TRUE(checks->Request());
  ASSERT_TRUE(Finished(2));
  EXPECT_EQ(fetcher.requests().size(), 2u);
  EXPECT_EQ(outcomes.size(), 2u) << "merged requests start no check of their own";
}

TEST_F(RunningChecksTest, ARefreshAskedForDuringACountOnlyCheckFollowsIt) {
  Follow({Followed("1", 8)});
  fetcher.Open();
  StartChecks();
  ASSERT_TRUE(checks->Request(false));
  EXPECT_FALSE(checks->Request(true));
  ASSERT_TRUE(Finished(2));
  EXPECT_EQ(outcomes[0].stored, 0);
  EXPECT_EQ(outcomes[1].stored, 1);
  EXPECT_EQ(fetcher.requests().size(), 1u);
}

TEST_F(RunningChecksTest, FollowsAndUnfollowsMadeByThePageDuringACheckAreKept) {
  Follow({Followed("1", 8), Followed("2", 8)});
  StartChecks();
  ASSERT_TRUE(checks->Request());
  ASSERT_TRUE(fetcher.WaitForRequests(1));  // series 1 is on its way

  // Meanwhile the page unfollows 2 and follows 5, through the commands themselves.
  RecordingPage page;
  RemoveShowCommand(page, 2);
  SeriesRecord details;
  details.ReadSeriesDocument(FixturePath("tvdb/series/80005.xml"));
  details.id = "5";
  AddToFavsCommand(page, details);
  EXPECT_EQ(page.Names(), (std::vector<std::string>{"initFinish", "initFinish"}));

  fetcher.Open();
  ASSERT_TRUE(Finished(1));
  EXPECT_EQ(Favourites(), (std::vector<std::string>{"1 " + Today(), "5 " + Today()}));
  EXPECT_EQ(StoredName("1"), "Fresh 1");
  EXPECT_FALSE(FileExists(folder + "2.xml")) << "an unfollowed series is not written back";
  EXPECT_TRUE(FileExists(folder + "5.xml"));
  EXPECT_EQ(outcomes[0].stored, 1);
}

TEST_F(RunningChecksTest, NetworkDownLeavesFilesAndDatesAndTheNextCheckTriesAgain) {
  Follow({Followed("1", 8)});
  fetcher.bodies.clear();
  const std::string favourites = ReadFile(GetFavoritesPath());
  const std::string series = ReadFile(folder + "1.xml");
  fetcher.Open();
  StartChecks();
  checks->Request();
  ASSERT_TRUE(Finished(1));
  EXPECT_EQ(ReadFile(GetFavoritesPath()), favourites);
  EXPECT_EQ(ReadFile(folder + "1.xml"), series);
  checks->Request();
  ASSERT_TRUE(Finished(2));
  EXPECT_EQ(fetcher.requests().size(), 2u);
}

TEST_F(RunningChecksTest, TheClockSetBackADayDownloadsNothingAgain) {
  Follow({Followed("1", 8)});
  fetcher.Open();
  StartChecks();
  checks->Request();
  ASSERT_TRUE(Finished(1));
  now = now - 86400;
  checks->Request();
  ASSERT_TRUE(Finished(2));
  EXPECT_EQ(fetcher.requests().size(), 1u);
}

TEST_F(RunningChecksTest, TheCountIsOfFollowedEpisodesDatedToday) {
  Follow({Followed("1", 1,
                   {{.id = "11", .FirstAired = DaysFromToday(0), .EpisodeName = "Today"},
                    {.id = "12", .FirstAired = DaysFromToday(1)},
                    {.id = "13", .FirstAired = DaysFromToday(-2)}})});
  // The stored file has no episodes yet: a refresh brings them, and the count sees them.
  std::filesystem::remove(folder + "1.xml");
  fetcher.Open();
  StartChecks();
  checks->Request();
  ASSERT_TRUE(Finished(1));
  ASSERT_EQ(outcomes[0].count, 1);
  ASSERT_EQ(outcomes[0].today.size(), 1u);
  EXPECT_EQ(outcomes[0].today[0].episodeId, "11");
  EXPECT_EQ(outcomes[0].today[0].SeriesName, "Fresh 1");
  EXPECT_EQ(outcomes[0].today[0].EpisodeName, "Today");
}

class RunningChecksExitTest : public SandboxedTest {};

TEST_F(RunningChecksExitTest, EndingDuringAHangingDownloadTakesUnderTwoSecondsAndWritesNothing) {
  {
    TestServer server;
    ScopedRemoteHosts hosts(server);
    HttpFetcher curl;
    ScopedFetcher installed(curl);
    const std::string seriesPath = "/api/9F41B2D07E6A3C15/series/80001/all/en.xml";
    server.fault(seriesPath, "slow-headers", {{"seconds", "60"}});
    const FavoriteShow entry = StoreSeries(GetDataFolder(), {.id = "80001"}, "2000-01-01");
    WriteFile(GetFavoritesPath(), FavoritesDocument({entry}));
    const std::string favourites = ReadFile(GetFavoritesPath());

    MessageWindow window;
    auto checks = std::make_unique<RunningChecks>(
        [&](std::function<void()> call) { window.PostCall(std::move(call)); }, nullptr);
    checks->Request();
    for (int i = 0; i < 500 && server.hits().empty(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(server.hits().size(), 1u);
    const auto started = std::chrono::steady_clock::now();
    checks.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    MessageWindow::DrainPosted();
    EXPECT_EQ(ReadFile(GetFavoritesPath()), favourites);
  }
}

}  // namespace
}  // namespace quorvel::test
