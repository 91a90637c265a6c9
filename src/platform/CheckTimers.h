#pragma once

#include <glib.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

// The monotonic clock in whole seconds (it stands still while the machine sleeps).
int64_t MonotonicSeconds();

// A look at the clocks once a minute, and once more when a chosen number of seconds have passed;
// both run onLook from the main loop.
class CheckTimers {
 public:
  explicit CheckTimers(std::function<void()> onLook);
  ~CheckTimers();
  CheckTimers(const CheckTimers&) = delete;
  CheckTimers& operator=(const CheckTimers&) = delete;

  // Replaces the one-shot look with one after this many seconds.
  void LookAfter(int64_t seconds);
  // Runs call once from the main loop after this many milliseconds (0: on its next turn); gone
  // with this object.
  void Once(int milliseconds, std::function<void()> call);

 private:
  static gboolean OnTick(gpointer self);
  static gboolean OnOnce(gpointer self);
  static gboolean OnCall(gpointer self);

  std::function<void()> onLook_;
  guint tick_ = 0;
  guint once_ = 0;
  std::function<void()> call_;
  guint callSource_ = 0;
};

// Runs onWake when logind says the machine woke (PrepareForSleep(false) on the system bus, the
// address taken from DBUS_SYSTEM_BUS_ADDRESS as GDBus does). Without a system bus or logind it
// does nothing; the clock jump on the minute tick notices the wake then.
class SleepWatch {
 public:
  explicit SleepWatch(std::function<void()> onWake);
  ~SleepWatch();
  SleepWatch(const SleepWatch&) = delete;
  SleepWatch& operator=(const SleepWatch&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quorvel
