#include "core/UriLauncher.h"

#include <gio/gio.h>

#include <utility>

namespace quorvel {
namespace {

class DesktopLauncher : public UriLauncher {
 public:
  void Launch(const std::string& uri) override {
    // Failures are silent: the caller has no one to tell.
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
  }
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
