#include "platform/gtk/GtkDesktop.h"

#include <gtk/gtk.h>

#include "bridge/WebPage.h"
#include "platform/BrowserProcess.h"
#include "platform/MessageWindow.h"
#include "platform/gtk/AyatanaTrayIcon.h"
#include "platform/gtk/HelloBalloon.h"
#include "platform/gtk/OkCancelPrompt.h"
#include "platform/gtk/ProgramIcons.h"

namespace quorvel {
namespace {

// The names window.external offers, in DISPID order, read from the method table itself.
std::vector<std::string> ExternalMethodNames() {
  MessageWindow unused;
  WebPage page(unused);
  return page.MethodNames();
}

}  // namespace

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
    return NewBrowserHost(events, ExternalMethodNames());
  };
  return desktop;
}

}  // namespace quorvel
