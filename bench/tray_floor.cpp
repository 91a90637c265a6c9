// The floor for start to tray icon: a program that does nothing but put the same icon into the
// notification area through the same library (what any tray program pays on this desktop).
// Usage: tray_floor ICON_FOLDER   (runs until killed)

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2 || chdir("/") != 0 || !gtk_init_check(nullptr, nullptr)) return 2;
  // As the program does: it starts in / (the library takes an icon name that is also a file in
  // the current folder for that file), and its icons are found in its own folder.
  gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), argv[1]);
  AppIndicator* indicator =
      app_indicator_new("quorvel-floor", "quorvel", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  app_indicator_set_icon_theme_path(indicator, argv[1]);
  app_indicator_set_icon_full(indicator, "quorvel", "Quorvel Startup");
  app_indicator_set_title(indicator, "Quorvel Startup");
  GtkWidget* menu = gtk_menu_new();
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_menu_item_new_with_label("Exit"));
  gtk_widget_show_all(menu);
  app_indicator_set_menu(indicator, GTK_MENU(menu));
  app_indicator_set_status(indicator, APP_INDICATOR_STATUS_ACTIVE);
  gtk_main();
  return 0;
}
