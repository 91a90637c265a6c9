#include "platform/gtk/AyatanaTrayIcon.h"

#include "bridge/MessageWindow.h"
#include "core/NoThrow.h"
#include "platform/gtk/ProgramIcons.h"

namespace quorvel {
namespace {

constexpr const char* kIndicatorId = "quorvel";
constexpr const char* kTitle = "Quorvel Startup";

// An indicator whose XEmbed fallback icon carries the tooltip, which Ayatana leaves out.
struct QuorvelIndicator {
  AppIndicator parent;
};
struct QuorvelIndicatorClass {
  AppIndicatorClass parent;
};
G_DEFINE_TYPE(QuorvelIndicator, quorvel_indicator, APP_INDICATOR_TYPE)

GtkStatusIcon* FallbackWithTooltip(AppIndicator* indicator) {
  auto* parent = APP_INDICATOR_CLASS(quorvel_indicator_parent_class);
  GtkStatusIcon* icon = parent->fallback ? parent->fallback(indicator) : nullptr;
  if (icon) gtk_status_icon_set_tooltip_text(icon, kTitle);
  return icon;
}

void quorvel_indicator_class_init(QuorvelIndicatorClass* klass) {
  APP_INDICATOR_CLASS(klass)->fallback = FallbackWithTooltip;
}

void quorvel_indicator_init(QuorvelIndicator*) {}

}  // namespace

AyatanaTrayIcon::AyatanaTrayIcon(MessageWindow& owner) : owner_(owner) {}

AyatanaTrayIcon::~AyatanaTrayIcon() {
  Remove();
}

void AyatanaTrayIcon::Add(bool red) {
  if (indicator_) return;
  const char* icon = ProgramIconName(red ? kIconRed : kIconGrey);
  indicator_.reset(
      APP_INDICATOR(g_object_new(quorvel_indicator_get_type(), "id", kIndicatorId, "category",
                                 "ApplicationStatus", "icon-name", icon, nullptr)));
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

void AyatanaTrayIcon::SetRed(bool red) {
  if (!indicator_) return;
  // The indicator passes the new name on to its host, or to the XEmbed fallback icon.
  app_indicator_set_icon_full(indicator_.get(), ProgramIconName(red ? kIconRed : kIconGrey),
                              kTitle);
  app_indicator_set_title(indicator_.get(), kTitle);
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
  NoThrow([&] { static_cast<AyatanaTrayIcon*>(self)->owner_.Post(WM_COMMAND, ID_MYSHOWS, 0); });
}

void AyatanaTrayIcon::OnExit(GtkMenuItem*, gpointer self) {
  NoThrow([&] { static_cast<AyatanaTrayIcon*>(self)->owner_.Post(WM_COMMAND, ID_EXIT, 0); });
}

}  // namespace quorvel
