#pragma once

#include <functional>
#include <map>
#include <memory>

#include "bridge/Messages.h"

namespace quorvel {

// A window as the rest of the program sees it: a message map, a FIFO of posted messages drained
// one at a time from the GLib main loop, synchronous Send, and a modal run on a nested main loop
// that returns the value given to EndDialog. No display is needed.
class MessageWindow {
 public:
  MessageWindow();
  virtual ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Queues the message behind every message posted before it, for any window of the process.
  void Post(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);
  // From any thread: runs call on the UI thread as a message to this window, queued behind what
  // was posted before it reaches the queue. Dropped when the window is gone by then.
  void PostCall(std::function<void()> call);
  // Runs the handler now and returns its result; unmapped messages give 0.
  LRESULT Send(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Sends WM_INITDIALOG, then dispatches until EndDialog. Returns EndDialog's value.
  int RunModal();
  // Marks the modal run as ended; its loop returns once control is back in it.
  void EndDialog(int result);
  bool IsRunningModal() const { return running_; }

  // Dispatches every posted message, including those posted while draining (tests, tools).
  static void DrainPosted();

 protected:
  using Handler = std::function<LRESULT(WPARAM, LPARAM)>;
  void MapMessage(unsigned message, Handler handler);
  // WM_COMMAND whose low word of wParam is id.
  void MapCommand(unsigned id, std::function<void()> handler);

 private:
  struct Loop;
  std::map<unsigned, Handler> handlers_;
  std::map<unsigned, std::function<void()>> commands_;
  std::unique_ptr<Loop> loop_;
  bool running_ = false;
  bool ended_ = false;
  int result_ = 0;
  unsigned id_;
};

}  // namespace quorvel
