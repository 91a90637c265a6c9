#include "platform/gtk/SessionBus.h"

#include <glib.h>

#include <string>

namespace quorvel {

bool SessionBusConfigured() {
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  const std::string socket = std::string(runtime) + "/bus";
  return g_file_test(socket.c_str(), G_FILE_TEST_EXISTS);
}

void AvoidSessionBusAutolaunch() {
  // An address that cannot be connected to: GLib then reports an error to each caller instead of
  // spawning dbus-launch.
  if (!SessionBusConfigured()) g_setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null", TRUE);
}

}  // namespace quorvel
