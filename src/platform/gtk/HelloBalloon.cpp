#include "platform/gtk/HelloBalloon.h"

#include <gio/gio.h>
#include <libnotify/notify.h>

#include "core/Handles.h"
#include "platform/gtk/SessionBus.h"

namespace quorvel {
namespace {

constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr int kServiceStartTimeoutMs = 3000;

}  // namespace

bool NotificationServiceRunning() {
  if (!SessionBusConfigured()) return false;
  GError* error = nullptr;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
  if (!bus) {
    g_clear_error(&error);
    return false;
  }
  GVariant* reply = g_dbus_connection_call_sync(
      bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "StartServiceByName", g_variant_new("(su)", kNotificationsName, 0u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, kServiceStartTimeoutMs, nullptr, &error);
  if (!reply) {
    g_clear_error(&error);
    return false;
  }
  g_variant_unref(reply);
  return true;
}

void ShowHelloBalloon() {
  if (!NotificationServiceRunning()) return;
  if (!notify_is_initted() && !notify_init("Quorvel")) return;
  GObjectPtr<NotifyNotification> note(
      notify_notification_new("Quorvel", "Right click to get started", "dialog-information"));
  if (!note) return;
  notify_notification_set_timeout(note.get(), 10000);
  notify_notification_set_urgency(note.get(), NOTIFY_URGENCY_NORMAL);
  GError* error = nullptr;
  if (!notify_notification_show(note.get(), &error)) g_clear_error(&error);
}

}  // namespace quorvel
