#pragma once

#include <string>

namespace quorvel {

// Hands an address, or one local file, to the desktop's default handler
// (platform/GioUriLauncher in the program).
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

// The installed launcher; one that opens nothing until the program or a test installs another.
UriLauncher& CurrentUriLauncher();

// Installs a launcher for the lifetime of this object.
class ScopedUriLauncher {
 public:
  explicit ScopedUriLauncher(UriLauncher& launcher);
  ~ScopedUriLauncher();
  ScopedUriLauncher(const ScopedUriLauncher&) = delete;
  ScopedUriLauncher& operator=(const ScopedUriLauncher&) = delete;

 private:
  UriLauncher* previous_;
};

// Opens an address with the installed launcher. Only http, https and mailto reach the desktop;
// the other recognised schemes are refused; an address without a recognised scheme gets "http://"
// in front. Empty does nothing.
void OpenInBrowser(const std::string& address);

}  // namespace quorvel
