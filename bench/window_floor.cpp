// The floor of the open main window: a bare WebKitGTK window with the main window's settings (a
// web context of its own, no accelerated compositing, no developer extras, no OpenGL in GDK,
// 780 x 552 undecorated, JavaScript without its JIT compilers) showing one address, and nothing
// else: no agent, no bridge. Usage: window_floor ADDRESS   (runs until killed)

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  setenv("GDK_GL", "disable", 1);
  setenv("JSC_useJIT", "false", 0);
  if (!gtk_init_check(nullptr, nullptr)) return 2;
  WebKitWebContext* context = webkit_web_context_new();
  WebKitSettings* settings = webkit_settings_new_with_settings(
      "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER,
      "enable-developer-extras", FALSE, "javascript-can-open-windows-automatically", FALSE,
      nullptr);
  GtkWidget* view = GTK_WIDGET(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Window floor");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_widget_set_size_request(view, 780, 552);
  gtk_container_add(GTK_CONTAINER(window), view);
  gtk_widget_show_all(window);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_main();
  return 0;
}
