#include "platform/GioUriLauncher.h"

#include <gio/gio.h>

#include "core/Handles.h"

namespace quorvel {

void GioUriLauncher::Launch(const std::string& uri) {
  g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

void GioUriLauncher::OpenFile(const std::string& path, const std::string& contentType) {
  if (path.empty()) return;
  const GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(contentType.c_str(), FALSE));
  if (!app) return;
  const GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
  GList files = {file.get(), nullptr, nullptr};
  g_app_info_launch(app.get(), &files, nullptr, nullptr);
}

}  // namespace quorvel
