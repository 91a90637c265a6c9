#include "platform/gtk/GtkDesktop.h"

#include <gtk/gtk.h>

#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "platform/BrowserProcess.h"
#include "platform/CheckTimers.h"
#include "platform/gtk/AyatanaTrayIcon.h"
#include "platform/gtk/HelloBalloon.h"
#include "platform/gtk/OkCancelPrompt.h"
#include "platform/gtk/ProgramIcons.h"
#include "platform/gtk/TodayNotification.h"

namespace quorvel {
Desktop MakeGtkDesktop() {
  g_set_prgname("quorvel");
  g_set_application_name("Quorvel");
  RegisterProgramIcons();
  gtk_window_set_default_icon_name(ProgramIconName(kIconGrey));

  Desktop desktop;
  desktop.makeTrayIcon = [](MessageWindow& owner) -> std::unique_ptr<TrayIcon> {
    return std::make_unique<AyatanaTrayIcon>(owner);
  };
  desktop.showBalloon = ShowHelloBalloon;
  desktop.askOkCancel = AskOkCancel;
  desktop.makeBrowserHost = [](BrowserEvents& events) -> std::unique_ptr<BrowserHost> {
    static const std::vector<std::string> names(kExternalMethodNames.begin(),
                                                kExternalMethodNames.end());
    return NewBrowserHost(events, names);
  };
  desktop.showToday = ShowTodayNotification;
  desktop.watchWake = [](std::function<void()> onWake) {
    return std::make_unique<SleepWatch>(std::move(onWake));
  };
  desktop.firstCheckDelayMs = 1500;
  return desktop;
}

}  // namespace quorvel
