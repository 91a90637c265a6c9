#include "platform/gtk/AyatanaTrayIcon.h"

#include "platform/MessageWindow.h"
#include "platform/gtk/ProgramIcons.h"

namespace quorvel {
namespace {

constexpr const char* kIndicatorId = "quorvel";
constexpr const char* kTitle = "Quorvel Startup";

// Ayatana's XEmbed fallback names its GtkStatusIcon after the icon is embedded, and GDK answers
// that with a harmless assertion message on every start. Only that one message is dropped.
void OnGdkCritical(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
  if (message && g_strstr_len(message, -1, "gdk_window_thaw_toplevel_updates")) return;
  g_log_default_handler(domain, level, message, nullptr);
}

void QuietenFallbackAssertion() {
  static const guint handler =
      g_log_set_handler("Gdk", G_LOG_LEVEL_CRITICAL, OnGdkCritical, nullptr);
  (void)handler;
}

}  // namespace

AyatanaTrayIcon::AyatanaTrayIcon(MessageWindow& owner) : owner_(owner) {}

AyatanaTrayIcon::~AyatanaTrayIcon() {
  Remove();
}

void AyatanaTrayIcon::Add(bool red) {
  if (indicator_) return;
  QuietenFallbackAssertion();
  const char* icon = ProgramIconName(red ? kIconRed : kIconGrey);
  indicator_.reset(
      app_indicator_new(kIndicatorId, icon, APP_INDICATOR_CATEGORY_APPLICATION_STATUS));
  if (!indicator_) return;
  // A StatusNotifierItem host looks the name up itself; it needs the shipped folder when the
  // icons are not installed into the hicolor theme.
  if (const std::string folder = ProgramIconFolder(); !folder.empty()) {
    app_indicator_set_icon_theme_path(indicator_.get(), folder.c_str());
  }
  app_indicator_set_icon_full(indicator_.get(), icon, kTitle);
  app_indicator_set_title(indicator_.get(), kTitle);
  BuildMenu();
  app_indicator_set_menu(indicator_.get(), GTK_MENU(menu_.get()));
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
}

void AyatanaTrayIcon::Remove() {
  if (!indicator_) return;
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_PASSIVE);
  indicator_.reset();
  if (menu_) gtk_widget_destroy(menu_.get());
  menu_.reset();
}

void AyatanaTrayIcon::BuildMenu() {
  menu_ = GObjectPtr<GtkWidget>::Ref(gtk_menu_new());
  GtkWidget* myShows = gtk_menu_item_new_with_label("My Shows");
  GtkWidget* exit = gtk_menu_item_new_with_label("Exit");
  g_signal_connect(myShows, "activate", G_CALLBACK(OnMyShows), this);
  g_signal_connect(exit, "activate", G_CALLBACK(OnExit), this);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), myShows);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), gtk_separator_menu_item_new());
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), exit);
  gtk_widget_show_all(menu_.get());
}

// Posted, not sent: "My Shows" runs a nested modal loop and "Exit" removes this menu, neither of
// which belongs inside the menu's own activation.
void AyatanaTrayIcon::OnMyShows(GtkMenuItem*, gpointer self) {
  try {
    static_cast<AyatanaTrayIcon*>(self)->owner_.Post(WM_COMMAND, ID_MYSHOWS, 0);
  } catch (...) {
  }
}

void AyatanaTrayIcon::OnExit(GtkMenuItem*, gpointer self) {
  try {
    static_cast<AyatanaTrayIcon*>(self)->owner_.Post(WM_COMMAND, ID_EXIT, 0);
  } catch (...) {
  }
}

}  // namespace quorvel
