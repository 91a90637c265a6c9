#include "platform/gtk/QuietLogs.h"

#include <glib.h>

namespace quorvel {
namespace {

struct KnownMessage {
  const char* domain;
  GLogLevelFlags level;
  const char* text;
};

constexpr KnownMessage kKnownMessages[] = {
    {"Gdk", G_LOG_LEVEL_CRITICAL, "gdk_window_thaw_toplevel_updates"},
    {nullptr, G_LOG_LEVEL_WARNING,
     "Disabled hardware acceleration because GTK failed to initialize GL"},
};

void DropKnown(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
  const auto* known = static_cast<const KnownMessage*>(data);
  if (message && g_strstr_len(message, -1, known->text)) return;
  g_log_default_handler(domain, level, message, nullptr);
}

}  // namespace

void QuietKnownLibraryMessages() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const auto& known : kKnownMessages) {
    g_log_set_handler(known.domain, known.level, DropKnown, const_cast<KnownMessage*>(&known));
  }
}

}  // namespace quorvel
