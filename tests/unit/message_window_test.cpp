// The window base: posted messages in FIFO order, synchronous sends, nested modal runs.

#include <gtest/gtest.h>

#include <glib.h>

#include <thread>

#include "bridge/MessageWindow.h"

namespace quorvel {
namespace {

class ScriptedWindow : public MessageWindow {
 public:
  explicit ScriptedWindow(std::vector<std::string>& log, std::string name)
      : log_(log), name_(std::move(name)) {
    MapMessage(WM_USER, [this](WPARAM, LPARAM l) -> LRESULT {
      log_.push_back(name_ + ":" + std::to_string(l));
      return l * 2;
    });
    MapMessage(WM_CLOSE, [this](WPARAM w, LPARAM) -> LRESULT {
      EndDialog(static_cast<int>(w));
      return 0;
    });
  }
  void OnInit(std::function<void()> f) {
    MapMessage(WM_INITDIALOG, [f](WPARAM, LPARAM) -> LRESULT {
      f();
      return 1;
    });
  }
  using MessageWindow::MapCommand;

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST(MessageWindowTest, PostedMessagesRunInPostingOrderAcrossWindows) {
  std::vector<std::string> log;
  ScriptedWindow a(log, "a"), b(log, "b");
  a.Post(WM_USER, 0, 1);
  b.Post(WM_USER, 0, 2);
  a.Post(WM_USER, 0, 3);
  EXPECT_TRUE(log.empty()) << "posting must not run anything";
  MessageWindow::DrainPosted();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:2", "a:3"}));
}

TEST(MessageWindowTest, SendRunsAtOnceAndReturnsTheHandlersResult) {
  std::vector<std::string> log;
  ScriptedWindow a(log, "a");
  EXPECT_EQ(a.Send(WM_USER, 0, 21), 42);
  EXPECT_EQ(a.Send(WM_USER + 99, 0, 0), 0) << "unmapped messages answer 0";
  EXPECT_EQ(log, std::vector<std::string>{"a:21"});
}

TEST(MessageWindowTest, MessagesForADestroyedWindowAreDropped) {
  std::vector<std::string> log;
  {
    ScriptedWindow gone(log, "gone");
    gone.Post(WM_USER, 0, 1);
  }
  MessageWindow::DrainPosted();
  EXPECT_TRUE(log.empty());
}

TEST(MessageWindowTest, ModalRunReturnsTheEndDialogValue) {
  std::vector<std::string> log;
  ScriptedWindow w(log, "w");
  w.OnInit([&] {
    w.Post(WM_USER, 0, 1);
    w.Post(WM_CLOSE, 7, 0);
  });
  EXPECT_EQ(w.RunModal(), 7);
  EXPECT_EQ(log, std::vector<std::string>{"w:1"});
}

TEST(MessageWindowTest, EndDialogDuringInitEndsWithoutRunning) {
  std::vector<std::string> log;
  ScriptedWindow w(log, "w");
  w.OnInit([&] { w.EndDialog(-1); });
  EXPECT_EQ(w.RunModal(), -1);
}

TEST(MessageWindowTest, OuterRunEndsOnlyAfterTheNestedRunReturns) {
  std::vector<std::string> log;
  ScriptedWindow outer(log, "outer"), inner(log, "inner");
  outer.MapCommand(1, [&] { log.push_back("inner returned " + std::to_string(inner.RunModal())); });
  inner.OnInit([&] {
    outer.Post(WM_CLOSE, 0, 0);  // the outer window ends while the inner one still runs
    inner.Post(WM_USER, 0, 5);
    inner.Post(WM_CLOSE, 3, 0);
  });
  outer.OnInit([&] { outer.Post(WM_COMMAND, 1, 0); });
  EXPECT_EQ(outer.RunModal(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"inner:5", "inner returned 3"}));
}

TEST(MessageWindowTest, ClosuresFromAnotherThreadQueueInOrderBehindEarlierPosts) {
  std::vector<std::string> log;
  auto a = std::make_unique<ScriptedWindow>(log, "a");
  a->Post(WM_USER, 0, 1);
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      a->PostCall([&log, i] { log.push_back("call:" + std::to_string(i)); });
  });
  worker.join();
  a->Post(WM_USER, 0, 2);  // posted on the UI thread before the closures reach the queue
  MessageWindow::DrainPosted();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2", "call:0", "call:1", "call:2"}));

  // A closure for a window that is gone by the time it arrives is dropped.
  std::thread late([&] { a->PostCall([&log] { log.push_back("late"); }); });
  late.join();
  a.reset();
  MessageWindow::DrainPosted();
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_EQ(log.size(), 5u);
}

}  // namespace
}  // namespace quorvel
