#include "bridge/MessageWindow.h"

#include "core/NoThrow.h"

#include <glib.h>

#include <deque>
#include <mutex>
#include <unordered_map>

namespace quorvel {
namespace {

struct PostedMessage {
  unsigned window;
  unsigned message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<std::function<void()>> call{};  // PostCall's closure
};

// Closures posted from other threads, waiting for the UI thread to queue them.
struct CrossThreadCalls {
  std::mutex mutex;
  std::deque<PostedMessage> calls;
};

CrossThreadCalls& Crossing() {
  static CrossThreadCalls crossing;
  return crossing;
}

// The thread's message queue: one FIFO for every window, like a UI thread's queue.
struct MessageQueue {
  std::deque<PostedMessage> messages;
  std::unordered_map<unsigned, MessageWindow*> windows;
  unsigned nextId = 1;
  guint source = 0;
};

MessageQueue& Queue() {
  static MessageQueue queue;
  return queue;
}

void ScheduleDrain();

bool DispatchOne() {
  auto& queue = Queue();
  if (queue.messages.empty()) return false;
  const PostedMessage posted = queue.messages.front();
  queue.messages.pop_front();
  // A message for a window that is gone is dropped, as the system drops it for a destroyed window.
  if (auto it = queue.windows.find(posted.window); it != queue.windows.end()) {
    if (posted.call) {
      // A posted closure never ends the loop.
      NoThrow([&] { (*posted.call)(); });
    } else {
      it->second->Send(posted.message, posted.wParam, posted.lParam);
    }
  }
  return true;
}

gboolean OnQueueIdle(gpointer) {
  // A handler may run a nested modal loop, and GLib does not re-enter a source that is being
  // dispatched: hand the rest of the queue to a fresh source before dispatching.
  auto& queue = Queue();
  queue.source = 0;
  if (queue.messages.size() > 1) ScheduleDrain();
  DispatchOne();
  return G_SOURCE_REMOVE;
}

void ScheduleDrain() {
  auto& queue = Queue();
  if (queue.source == 0)
    queue.source = g_idle_add_full(G_PRIORITY_DEFAULT, OnQueueIdle, nullptr, nullptr);
}

// On the UI thread: the closures posted from other threads join the queue in their order.
gboolean OnCallsCrossed(gpointer) {
  std::deque<PostedMessage> arrived;
  {
    auto& crossing = Crossing();
    std::lock_guard lock(crossing.mutex);
    arrived.swap(crossing.calls);
  }
  if (arrived.empty()) return G_SOURCE_REMOVE;
  auto& queue = Queue();
  for (PostedMessage& posted : arrived) queue.messages.push_back(std::move(posted));
  ScheduleDrain();
  return G_SOURCE_REMOVE;
}

}  // namespace

struct MessageWindow::Loop {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  ~Loop() { g_main_loop_unref(loop); }
};

unsigned TrayMessage() {
  static const unsigned number = 0xC000;
  return number;
}

MessageWindow::MessageWindow() {
  auto& queue = Queue();
  id_ = queue.nextId++;
  queue.windows[id_] = this;
}

MessageWindow::~MessageWindow() {
  Queue().windows.erase(id_);
}

void MessageWindow::Post(unsigned message, WPARAM wParam, LPARAM lParam) {
  Queue().messages.push_back({id_, message, wParam, lParam});
  ScheduleDrain();
}

void MessageWindow::PostCall(std::function<void()> call) {
  auto shared = std::make_shared<std::function<void()>>(std::move(call));
  {
    auto& crossing = Crossing();
    std::lock_guard lock(crossing.mutex);
    crossing.calls.push_back({id_, WM_NULL, 0, 0, std::move(shared)});
  }
  // g_idle_add is safe from any thread and wakes the default main context.
  g_idle_add_full(G_PRIORITY_DEFAULT, OnCallsCrossed, nullptr, nullptr);
}

LRESULT MessageWindow::Send(unsigned message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    if (auto it = commands_.find(LoWord(wParam)); it != commands_.end()) {
      it->second();
      return 0;
    }
  }
  if (auto it = handlers_.find(message); it != handlers_.end()) return it->second(wParam, lParam);
  return 0;
}

int MessageWindow::RunModal() {
  ended_ = false;
  result_ = 0;
  loop_ = std::make_unique<Loop>();
  running_ = true;
  Send(WM_INITDIALOG, 0, 0);
  if (!ended_) g_main_loop_run(loop_->loop);
  running_ = false;
  loop_.reset();
  return result_;
}

void MessageWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (loop_) g_main_loop_quit(loop_->loop);
}

void MessageWindow::DrainPosted() {
  OnCallsCrossed(nullptr);
  while (DispatchOne()) {
  }
}

void MessageWindow::MapMessage(unsigned message, Handler handler) {
  handlers_[message] = std::move(handler);
}

void MessageWindow::MapCommand(unsigned id, std::function<void()> handler) {
  commands_[id] = std::move(handler);
}

}  // namespace quorvel
