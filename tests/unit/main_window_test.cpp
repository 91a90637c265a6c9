// The main window against a fake browser: opening, the page address, closing paths, relays.

#include <glib.h>
#include <gtest/gtest.h>

#include <regex>

#include "app/Environment.h"
#include "bridge/CMainDlg.h"
#include "platform/BrowserProcess.h"
#include "platform/ResourcePaths.h"
#include "support/FakeBrowserHost.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

class MainWindowTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    SetPlaces([](Places& places) {
      const Places read = ReadPlaces();  // the bundled page and the user id, as at start
      places.bundledPage = read.bundledPage;
      places.userId = read.userId;
      // Commands that reach the network find nothing listening.
      places.tvdbHost = places.feedHost = "127.0.0.1:9";
    });
  }

  // Runs the window modally; `whileOpen` runs from inside its loop once it is initialised.
  int Run(CMainDlg& dlg, std::function<void()> whileOpen) {
    struct Ctx {
      std::function<void()> f;
    } ctx{std::move(whileOpen)};
    g_idle_add(
        [](gpointer p) -> gboolean {
          static_cast<Ctx*>(p)->f();
          return G_SOURCE_REMOVE;
        },
        &ctx);
    return dlg.RunModal();
  }

  void External(const std::string& name, std::vector<ScriptValue> args = {}) {
    ASSERT_NE(log.events, nullptr) << "window not open";
    log.events->OnExternalCall(name, args);
  }

  test::BrowserLog log;
};

TEST_F(MainWindowTest, OpensTheBundledPageWithUserIdAndFreshGuid) {
  if (FindDataFile("page/main.html").empty()) GTEST_SKIP() << "no bundled page in this tree";
  std::string first, second;
  for (std::string* address : {&first, &second}) {
    CMainDlg dlg(test::FakeBrowserFactory(log));
    EXPECT_EQ(Run(dlg,
                  [&] {
                    EXPECT_EQ(g_mainDlgWindow, &dlg);
                    External("OnClose");
                  }),
              0);
    ASSERT_FALSE(log.addresses.empty());
    *address = log.addresses.back();
  }
  const std::regex form(
      R"(file:///.*/page/main\.html\?v=[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}&t=\{[0-9A-F-]{36}\})");
  EXPECT_TRUE(std::regex_match(first, form)) << first;
  EXPECT_EQ(first.substr(0, first.find("&t=")), second.substr(0, second.find("&t=")));
  EXPECT_NE(first, second) << "t is fresh at every opening";
  EXPECT_EQ(log.destroyed, 2);
  EXPECT_EQ(g_mainDlgWindow, nullptr);
}

TEST_F(MainWindowTest, PageServerAddressWhenAHostIsSet) {
  SetPlaces([](Places& places) { places.pageHost = "127.0.0.1:8080"; });
  EXPECT_EQ(CMainDlg::PageAddress().rfind("http://127.0.0.1:8080/main.html?v=", 0), 0u);
}

TEST_F(MainWindowTest, EscapeEndsWithTwoAndEnterDoesNothing) {
  CMainDlg dlg(test::FakeBrowserFactory(log));
  EXPECT_EQ(Run(dlg,
                [&] {
                  dlg.Send(WM_COMMAND, IDOK, 0);
                  EXPECT_EQ(log.destroyed, 0);
                  log.events->OnEscape();
                }),
            2);
  EXPECT_EQ(log.destroyed, 1);
}

TEST_F(MainWindowTest, AWindowThatCannotBeCreatedEndsWithMinusOne) {
  CMainDlg dlg(test::FakeBrowserFactory(log, false));
  EXPECT_EQ(dlg.RunModal(), -1);
}

TEST_F(MainWindowTest, WithoutTheBrowserProgramTheWindowDoesNotOpen) {
  // Nothing beside this test program nor in its install tree: the window program is missing.
  CMainDlg dlg([](BrowserEvents& events) { return NewBrowserHost(events, {"OnClick"}); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(dlg.RunModal(), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot find the browser window program"),
            std::string::npos);
  EXPECT_EQ(g_mainDlgWindow, nullptr);
}

TEST_F(MainWindowTest, DragWindowStartsAMoveAndCommandsAnswerInOrder) {
  CMainDlg dlg(test::FakeBrowserFactory(log));
  Run(dlg, [&] {
    External("DragWindow");
    External("ShowMyShows");
    External("AddToFavs");
    External("SearchCallback", {ScriptValue::Of("")});
    External("ShowSeason", {ScriptValue::Of(0)});
    External("OnClose");
  });
  EXPECT_EQ(log.moveDrags, 1);
  // No favourites, nothing read by details, an empty search: each answers with initFinish only,
  // and the empty search answers nothing.
  std::vector<std::string> names;
  for (const auto& call : log.calls) names.push_back(call.name);
  EXPECT_EQ(names, (std::vector<std::string>{"initFinish", "initFinish", "initFinish"}));
}

TEST_F(MainWindowTest, TwoGetDetailsBeforeTheLoopRunsShowTheSecondSeriesOnce) {
  CMainDlg dlg(test::FakeBrowserFactory(log));
  Run(dlg, [&] {
    External("GetDetails", {ScriptValue::Of(11)});
    External("GetDetails", {ScriptValue::Of(-5)});
    // Low priority: runs once the posted commands are done.
    g_idle_add_full(
        G_PRIORITY_LOW,
        [](gpointer p) -> gboolean {
          static_cast<CMainDlg*>(p)->Post(WM_CLOSE);
          return G_SOURCE_REMOVE;
        },
        &dlg, nullptr);
  });
  std::vector<std::string> names;
  for (const auto& call : log.calls) names.push_back(call.name);
  // The first follow-up command shows the pending (second) series; the second finds it consumed.
  EXPECT_EQ(std::count(names.begin(), names.end(), "PopulateDetails"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "initFinish"), 2);
  EXPECT_TRUE(dlg.pendingSeriesId.empty());
}

}  // namespace
}  // namespace quorvel
