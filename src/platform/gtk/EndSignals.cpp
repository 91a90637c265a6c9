#include "platform/gtk/EndSignals.h"

#include <glib-unix.h>

#include <csignal>

#include "core/NoThrow.h"
#include "platform/gtk/OkCancelPrompt.h"

namespace quorvel {

EndSignals::EndSignals(std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {
  termSource_ = g_unix_signal_add(SIGTERM, OnSignal, this);
  intSource_ = g_unix_signal_add(SIGINT, OnSignal, this);
}

EndSignals::~EndSignals() {
  if (termSource_) g_source_remove(termSource_);
  if (intSource_) g_source_remove(intSource_);
}

gboolean EndSignals::OnSignal(gpointer self) {
  NoThrow([&] {
    CancelOpenPrompt();
    auto* signals = static_cast<EndSignals*>(self);
    if (signals->onEnd_) signals->onEnd_();
  });
  return G_SOURCE_CONTINUE;
}

}  // namespace quorvel
