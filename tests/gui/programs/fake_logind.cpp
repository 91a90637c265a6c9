// Stands in for logind on a private bus given as the system bus (DBUS_SYSTEM_BUS_ADDRESS): owns
// org.freedesktop.login1, prints "ready", and for every line "wake" on stdin announces a suspend
// and the wake after it (PrepareForSleep(true), then PrepareForSleep(false)), printing "woke".

#include <gio/gio.h>

#include <cstdio>
#include <cstring>

namespace {

bool Emit(GDBusConnection* bus, gboolean sleeping) {
  GError* error = nullptr;
  const bool ok = g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "PrepareForSleep",
                                                g_variant_new("(b)", sleeping), &error);
  if (!ok) {
    std::fprintf(stderr, "fake_logind: %s\n", error->message);
    g_clear_error(&error);
  }
  return ok;
}

}  // namespace

int main() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "fake_logind: %s\n", error->message);
    g_clear_error(&error);
    return 1;
  }
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", "org.freedesktop.login1", 4u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
  if (!reply) {
    std::fprintf(stderr, "fake_logind: %s\n", error->message);
    g_clear_error(&error);
    g_object_unref(bus);
    return 1;
  }
  g_variant_unref(reply);
  std::printf("ready\n");
  std::fflush(stdout);
  char line[64];
  while (std::fgets(line, sizeof line, stdin)) {
    if (std::strncmp(line, "wake", 4) != 0) continue;
    if (Emit(bus, TRUE) && Emit(bus, FALSE)) {
      g_dbus_connection_flush_sync(bus, nullptr, nullptr);
      std::printf("woke\n");
      std::fflush(stdout);
    }
  }
  g_object_unref(bus);
  return 0;
}
