#include "platform/GioUriLauncher.h"

#include <gio/gio.h>

namespace quorvel {

void GioUriLauncher::Launch(const std::string& uri) {
  g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

}  // namespace quorvel
