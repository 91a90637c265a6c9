#include "platform/gtk/GtkDesktop.h"

namespace quorvel {

// Placeholder until the GTK pieces land.
Desktop MakeGtkDesktop() {
  return {};
}

}  // namespace quorvel
