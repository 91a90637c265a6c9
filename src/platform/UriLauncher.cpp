#include "platform/UriLauncher.h"

#include <gio/gio.h>

#include <memory>
#include <utility>

namespace quorvel {
namespace {

class DesktopLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override {
    // Failures are silent: the caller has no one to tell.
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
  }

  void OpenFile(const std::string& path, const std::string& contentType) override {
    const std::unique_ptr<GAppInfo, ObjectUnref> app(
        g_app_info_get_default_for_type(contentType.c_str(), FALSE));
    // No application handles the type: nothing else is tried with a local file.
    if (!app || path.empty()) return;
    const std::unique_ptr<GFile, ObjectUnref> file(g_file_new_for_path(path.c_str()));
    GList files = {file.get(), nullptr, nullptr};
    g_app_info_launch(app.get(), &files, nullptr, nullptr);
  }

 private:
  struct ObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
  };
};

UriLauncher*& Slot() {
  static DesktopLauncher desktop;
  static UriLauncher* current = &desktop;
  return current;
}

}  // namespace

UriLauncher& CurrentUriLauncher() {
  return *Slot();
}

ScopedUriLauncher::ScopedUriLauncher(UriLauncher& launcher)
    : previous_(std::exchange(Slot(), &launcher)) {}

ScopedUriLauncher::~ScopedUriLauncher() {
  Slot() = previous_;
}

}  // namespace quorvel
