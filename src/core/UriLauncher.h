#pragma once

#include <string>

namespace quorvel {

// Hands an address to the desktop's default handler.
class UriLauncher {
 public:
  virtual ~UriLauncher() = default;
  virtual void Launch(const std::string& uri) = 0;
};

// The desktop launcher (GIO's default handler) unless a test installed another.
UriLauncher& CurrentUriLauncher();

class ScopedUriLauncher {
 public:
  explicit ScopedUriLauncher(UriLauncher& launcher);
  ~ScopedUriLauncher();
  ScopedUriLauncher(const ScopedUriLauncher&) = delete;
  ScopedUriLauncher& operator=(const ScopedUriLauncher&) = delete;

 private:
  UriLauncher* previous_;
};

}  // namespace quorvel
