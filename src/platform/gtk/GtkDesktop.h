#pragma once

#include "platform/Desktop.h"

namespace quorvel {

// The desktop pieces on GTK: Ayatana tray icon, libnotify balloon, GtkMessageDialog prompt and
// the WebKitGTK browser window. Call after gtk_init_check succeeded.
Desktop MakeGtkDesktop();

}  // namespace quorvel
