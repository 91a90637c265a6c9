#pragma once

#include <string>

namespace quorvel {

// Hands an address, or one local file, to the desktop's default handler.
class UriLauncher {
 public:
  virtual ~UriLauncher() = default;
  virtual void Launch(const std::string& uri) = 0;
  // Opens the file at an absolute path with the default application for the content type (for
  // example "text/calendar"). Only the program's own files come here; a launcher that does not
  // care about files opens nothing.
  virtual void OpenFile(const std::string& path, const std::string& contentType) {
    static_cast<void>(path);
    static_cast<void>(contentType);
  }
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
