#include "platform/gtk/GtkStart.h"

#include <gtk/gtk.h>

#include "platform/gtk/QuietLogs.h"
#include "platform/gtk/SessionBus.h"

namespace quorvel {

bool InitGtk() {
  QuietKnownLibraryMessages();
  AvoidSessionBusAutolaunch();
  // GDK reads GDK_GL once, while it initialises; a value the user set is left alone.
  const bool chooseGl = g_getenv("GDK_GL") == nullptr;
  if (chooseGl) g_setenv("GDK_GL", "disable", TRUE);
  const bool ok = gtk_init_check(nullptr, nullptr);
  if (chooseGl) g_unsetenv("GDK_GL");
  return ok;
}

}  // namespace quorvel
