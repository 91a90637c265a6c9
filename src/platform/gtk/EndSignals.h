#pragma once

#include <glib.h>

#include <functional>

namespace quorvel {

// While alive, SIGTERM and SIGINT (a logout, kill, Ctrl-C) answer any open prompt with Cancel
// and then run onEnd from the main loop instead of killing the process.
class EndSignals {
 public:
  explicit EndSignals(std::function<void()> onEnd);
  ~EndSignals();
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

 private:
  static gboolean OnSignal(gpointer self);

  std::function<void()> onEnd_;
  guint termSource_ = 0;
  guint intSource_ = 0;
};

}  // namespace quorvel
