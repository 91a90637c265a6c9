// The hidden start-up window with a fake desktop: icon, balloon, "My Shows" and "Exit".

#include <glib.h>
#include <gtest/gtest.h>

#include "app/StartUp.h"
#include "bridge/CMainDlg.h"
#include "support/FakeBrowserHost.h"
#include "support/Sandbox.h"

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

}  // namespace
}  // namespace quorvel
