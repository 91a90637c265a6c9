#include "platform/gtk/TodayNotification.h"

#include "core/NoThrow.h"

#include <libnotify/notify.h>

#include <memory>

#include "core/Handles.h"
#include "platform/gtk/HelloBalloon.h"

namespace quorvel {
namespace {

// The action lives as long as its notification: the latest one is kept, so a click on it still
// reaches the program.
GObjectPtr<NotifyNotification>& Latest() {
  static GObjectPtr<NotifyNotification> latest;
  return latest;
}

void OnDefaultAction(NotifyNotification* note, char*, gpointer data) {
  NoThrow([&] {
    auto* onOpen = static_cast<std::function<void()>*>(data);
    if (*onOpen) (*onOpen)();
  });
  GError* error = nullptr;
  if (!notify_notification_close(note, &error)) g_clear_error(&error);
}

void FreeAction(gpointer data) {
  std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(data));
}

std::string Body(const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& line : lines) {
    // Servers that take markup would read "&" or "<" in a series name as markup.
    const GCharPtr escaped(g_markup_escape_text(line.c_str(), -1));
    if (!body.empty()) body += '\n';
    body += escaped.get();
  }
  return body;
}

}  // namespace

bool ShowTodayNotification(const std::vector<std::string>& lines, std::function<void()> onOpen) {
  if (lines.empty() || !NotificationServiceRunning()) return false;
  if (!notify_is_initted() && !notify_init("Quorvel")) return false;
  const std::string body = Body(lines);
  GObjectPtr<NotifyNotification> note(
      notify_notification_new("Today", body.c_str(), "dialog-information"));
  if (!note) return false;
  notify_notification_set_urgency(note.get(), NOTIFY_URGENCY_NORMAL);
  auto action = std::make_unique<std::function<void()>>(std::move(onOpen));
  notify_notification_add_action(note.get(), "default", "My Shows", OnDefaultAction,
                                 action.release(), FreeAction);
  GError* error = nullptr;
  if (!notify_notification_show(note.get(), &error)) {
    g_clear_error(&error);
    return false;
  }
  Latest() = std::move(note);
  return true;
}

}  // namespace quorvel
