#include "platform/CheckTimers.h"

#include "core/Handles.h"
#include "core/NoThrow.h"

#include <gio/gio.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace quorvel {

int64_t MonotonicSeconds() {
  return g_get_monotonic_time() / G_USEC_PER_SEC;
}

CheckTimers::CheckTimers(std::function<void()> onLook) : onLook_(std::move(onLook)) {
  tick_ = g_timeout_add_seconds(60, OnTick, this);
}

CheckTimers::~CheckTimers() {
  if (tick_) g_source_remove(tick_);
  if (once_) g_source_remove(once_);
  if (callSource_) g_source_remove(callSource_);
}

void CheckTimers::LookAfter(int64_t seconds) {
  if (once_) g_source_remove(once_);
  // Milliseconds, not g_timeout_add_seconds: that one may move the timer by up to a second to
  // batch wake-ups, and midnight should not be missed by one.
  const int64_t limit = std::numeric_limits<guint>::max() / 1000;
  const guint ms = static_cast<guint>(std::clamp<int64_t>(seconds, 1, limit) * 1000);
  once_ = g_timeout_add(ms, OnOnce, this);
}

void CheckTimers::Once(int milliseconds, std::function<void()> call) {
  if (callSource_) g_source_remove(callSource_);
  call_ = std::move(call);
  callSource_ = g_timeout_add(static_cast<guint>(std::max(milliseconds, 0)), OnCall, this);
}

gboolean CheckTimers::OnCall(gpointer self) {
  auto* timers = static_cast<CheckTimers*>(self);
  timers->callSource_ = 0;
  const std::function<void()> call = std::move(timers->call_);
  NoThrow([&] { call(); });
  return G_SOURCE_REMOVE;
}

gboolean CheckTimers::OnTick(gpointer self) {
  NoThrow([&] { static_cast<CheckTimers*>(self)->onLook_(); });
  return G_SOURCE_CONTINUE;
}

gboolean CheckTimers::OnOnce(gpointer self) {
  auto* timers = static_cast<CheckTimers*>(self);
  timers->once_ = 0;
  NoThrow([&] { timers->onLook_(); });
  return G_SOURCE_REMOVE;
}

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";

}  // namespace

struct SleepWatch::State {
  std::function<void()> onWake;
  GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
  GObjectPtr<GDBusConnection> bus;
  guint subscription = 0;
  bool connecting = true;
  bool abandoned = false;  // the watch went while the connection was on its way

  ~State() {
    if (bus && subscription) g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
  }

  static void OnPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar*, GVariant* parameters, gpointer data) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
    gboolean sleeping = TRUE;
    g_variant_get(parameters, "(b)", &sleeping);
    if (sleeping) return;
    NoThrow([&] {
      auto* state = static_cast<State*>(data);
      if (state->onWake) state->onWake();
    });
  }

  static void OnConnected(GObject*, GAsyncResult* result, gpointer data) {
    auto* state = static_cast<State*>(data);
    state->connecting = false;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_finish(result, &error);
    GObjectPtr<GDBusConnection> owned(bus);
    if (state->abandoned) {
      g_clear_error(&error);
      std::unique_ptr<State> owned(state);
      return;
    }
    if (!bus) {
      g_clear_error(&error);
      return;
    }
    state->bus = std::move(owned);
    state->subscription = g_dbus_connection_signal_subscribe(
        bus, kLogind, "org.freedesktop.login1.Manager", "PrepareForSleep",
        "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnPrepareForSleep, state,
        nullptr);
  }
};

SleepWatch::SleepWatch(std::function<void()> onWake) : state_(std::make_unique<State>()) {
  state_->onWake = std::move(onWake);
  // Asynchronous, so a slow system bus never holds up the program.
  g_bus_get(G_BUS_TYPE_SYSTEM, state_->cancellable.get(), State::OnConnected, state_.get());
}

SleepWatch::~SleepWatch() {
  if (state_->connecting) {
    // The connection's callback still comes; it takes the state over and frees it.
    state_->abandoned = true;
    g_cancellable_cancel(state_->cancellable.get());
    state_.release();
  }
}

}  // namespace quorvel
