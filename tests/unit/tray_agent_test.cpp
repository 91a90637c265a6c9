// The hidden start-up window with a fake desktop: icon, balloon, "My Shows" and "Exit".

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "app/Paths.h"
#include "app/StartUp.h"
#include "bridge/CMainDlg.h"
#include "core/AirDate.h"
#include "core/Clock.h"
#include "platform/CheckTimers.h"
#include "platform/RegistryStore.h"
#include "schedule/CalendarFile.h"
#include "schedule/DataFiles.h"
#include "support/FakeBrowserHost.h"
#include "support/Sandbox.h"
#include "support/ShowFixtures.h"

namespace quorvel {
namespace {

struct TrayLog {
  std::vector<std::string> events;
  MessageWindow* owner = nullptr;
};

class FakeTray : public TrayIcon {
 public:
  FakeTray(TrayLog& log, MessageWindow& owner) : log_(log) { log_.owner = &owner; }
  void Add(bool red) override { log_.events.push_back(red ? "add red" : "add grey"); }
  void Remove() override { log_.events.push_back("remove"); }
  void SetRed(bool red) override { log_.events.push_back(red ? "set red" : "set grey"); }

 private:
  TrayLog& log_;
};

class TrayAgentTest : public test::SandboxedTest {
 protected:
  Desktop MakeDesktop() {
    Desktop desktop;
    desktop.makeTrayIcon = [this](MessageWindow& owner) {
      return std::make_unique<FakeTray>(tray, owner);
    };
    desktop.showBalloon = [this] { tray.events.push_back("balloon"); };
    desktop.askOkCancel = [this](const std::string&, const std::string&) {
      tray.events.push_back("prompt");
      return false;
    };
    desktop.makeBrowserHost = test::FakeBrowserFactory(browser);
    return desktop;
  }

  // Delivers a menu command from inside the running loop.
  static void Later(std::function<void()> f) {
    auto* task = new std::function<void()>(std::move(f));
    g_idle_add_full(
        G_PRIORITY_LOW,
        [](gpointer p) -> gboolean {
          (*static_cast<std::function<void()>*>(p))();
          return G_SOURCE_REMOVE;
        },
        task, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
  }

  TrayLog tray;
  test::BrowserLog browser;
};

TEST_F(TrayAgentTest, StartsGreyWithTheBalloonAndExitEndsWithZero) {
  StartUp startUp(MakeDesktop());
  Later([&] { tray.owner->Send(WM_COMMAND, ID_EXIT, 0); });
  EXPECT_EQ(startUp.RunModal(), 0);
  std::erase_if(tray.events, [](const std::string& e) { return e.starts_with("set"); });
  EXPECT_EQ(tray.events, (std::vector<std::string>{"add grey", "balloon", "remove"}));
}

TEST_F(TrayAgentTest, MyShowsTwiceOpensOneWindowAndBringsItForward) {
  StartUp startUp(MakeDesktop());
  Later([&] {
    tray.owner->Send(WM_COMMAND, ID_MYSHOWS, 0);  // runs the main window's loop until it closes
  });
  Later([&] {
    EXPECT_TRUE(g_mainDlgOpen);
    tray.owner->Send(WM_COMMAND, ID_MYSHOWS, 0);  // nested: only brings it forward
    EXPECT_EQ(browser.created, 1);
    EXPECT_EQ(browser.presented, 1);
    tray.owner->Send(WM_COMMAND, ID_EXIT, 0);  // the window stays until it is closed
    EXPECT_EQ(browser.destroyed, 0);
    browser.events->OnExternalCall("OnClose", {});
  });
  EXPECT_EQ(startUp.RunModal(), 0);
  EXPECT_EQ(browser.created, 1);
  EXPECT_EQ(browser.destroyed, 1);
  EXPECT_FALSE(g_mainDlgOpen);
  EXPECT_EQ(tray.events.back(), "remove");
}

// A calendar DTSTAMP value.
std::string UtcStamp(int64_t t) {
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm tm{};
  char text[32] = "";
  if (gmtime_r(&value, &tm) != nullptr) std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
  return text;
}

// The running agent with a settable clock: wakes delivered by hand, notifications recorded.
class RunningAgentTest : public TrayAgentTest {
 protected:
  void SetUp() override {
    TrayAgentTest::SetUp();
    SetTimeZone("Europe/Berlin");
    now = *ParseAirDate(FormatLocalDate(static_cast<int64_t>(std::time(nullptr)))) + 23 * 3600;
    // Followed today, so never due: only the day turns.
    const FavoriteShow entry =
        test::StoreSeries(GetDataFolder(),
                          {.id = "80900",
                           .SeriesName = "Night Ferry",
                           .episodes = {{.id = "901",
                                         .FirstAired = test::DaysFromToday(1),
                                         .SeasonNumber = "2",
                                         .EpisodeNumber = "10",
                                         .EpisodeName = "Crossing (Part 2)"}}},
                          test::DaysFromToday(0));
    test::WriteFile(GetFavoritesPath(), test::FavoritesDocument({entry}));
  }

  Desktop MakeRunningDesktop() {
    Desktop desktop = MakeDesktop();
    desktop.showToday = [this](const std::vector<std::string>& lines, std::function<void()>) {
      notifications.push_back(lines);
      return true;
    };
    desktop.watchWake = [this](std::function<void()> onWake) {
      wake = std::move(onWake);
      return std::unique_ptr<SleepWatch>();
    };
    return desktop;
  }
  // Runs the loop and the queue from inside the modal run until the tray saw `event` n times.
  bool PumpUntilSeen(const std::string& event, int n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::count(tray.events.begin(), tray.events.end(), event) < n) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      MessageWindow::DrainPosted();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  std::atomic<int64_t> now{0};
  ScopedClock clock{[this] { return now.load(); }};
  std::function<void()> wake;
  std::vector<std::vector<std::string>> notifications;
};

TEST_F(RunningAgentTest, PastMidnightAWakeTurnsTheIconRedAndTheEpisodeIsAnnouncedOnce) {
  StartUp startUp(MakeRunningDesktop());
  Later([&] {
    ASSERT_TRUE(PumpUntilSeen("set grey", 1)) << "the start's own count";
    EXPECT_TRUE(notifications.empty());
    ASSERT_TRUE(wake);
    now = now + 2 * 3600;  // slept through midnight
    wake();
    ASSERT_TRUE(PumpUntilSeen("set red", 1));
    EXPECT_NE(test::ReadFile(CalendarFilePath(GetDataFolder())).find("DTSTAMP:" + UtcStamp(now)),
              std::string::npos)
        << "the check rewrote the calendar";
    wake();
    ASSERT_TRUE(PumpUntilSeen("set red", 2));
    tray.owner->Send(WM_COMMAND, ID_EXIT, 0);
  });
  EXPECT_EQ(startUp.RunModal(), 0);
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_EQ(notifications[0],
            (std::vector<std::string>{"Night Ferry S02E10 \u00b7 Crossing (Part 2)"}));
  EXPECT_NE(ReadAnnouncedEpisodes().find("80900:901@"), std::string::npos);
}

// The check that follows the start writes the calendar; one still running at Exit writes
// nothing more.
TEST_F(RunningAgentTest, TheStartsCheckWritesTheCalendarFile) {
  StartUp startUp(MakeRunningDesktop());
  Later([&] {
    ASSERT_TRUE(PumpUntilSeen("set grey", 1)) << "the start's own count";
    EXPECT_EQ(test::ReadFile(CalendarFilePath(GetDataFolder())).rfind("BEGIN:VCALENDAR\r\n", 0),
              0u);
    tray.owner->Send(WM_COMMAND, ID_EXIT, 0);
  });
  EXPECT_EQ(startUp.RunModal(), 0);
}

TEST_F(RunningAgentTest, NotifyZeroInTheSettingsFileKeepsItQuiet) {
  test::WriteFile(RegistryStore::FilePath(),
                  std::string("[") + kUserIdKey + "]\nuserid=REG_SZ:X\nnotify=0\n");
  now = now + 2 * 3600;  // the episode is today from the start
  StartUp startUp(MakeRunningDesktop());
  Later([&] {
    ASSERT_TRUE(PumpUntilSeen("set red", 1));
    tray.owner->Send(WM_COMMAND, ID_EXIT, 0);
  });
  EXPECT_EQ(startUp.RunModal(), 0);
  EXPECT_EQ(tray.events.front(), "add red");
  EXPECT_TRUE(notifications.empty());
}

}  // namespace
}  // namespace quorvel
