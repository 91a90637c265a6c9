#include "core/UriLauncher.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace quorvel {
namespace {

class NoLauncher : public UriLauncher {
 public:
  void Launch(const std::string&) override {}
};

UriLauncher*& Slot() {
  static NoLauncher none;
  static UriLauncher* current = &none;
  return current;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
  return lower;
}

// The scheme before the first ":" when no "/" or "?" comes before it; empty otherwise.
std::string SchemeOf(const std::string& address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string::npos || colon > 32) return {};
  if (address.find_first_of("/?") < colon) return {};
  return LowerAscii(std::string_view(address).substr(0, colon));
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

void OpenInBrowser(const std::string& address) {
  if (address.empty()) return;
  static constexpr std::array<std::string_view, 3> kOpened = {"http", "https", "mailto"};
  static constexpr std::array<std::string_view, 5> kRefused = {"ftp", "gopher", "file", "news",
                                                               "socks"};
  const std::string scheme = SchemeOf(address);
  if (std::find(kOpened.begin(), kOpened.end(), scheme) != kOpened.end()) {
    CurrentUriLauncher().Launch(address);
  } else if (std::find(kRefused.begin(), kRefused.end(), scheme) == kRefused.end()) {
    CurrentUriLauncher().Launch("http://" + address);
  }
  // A page from a plain-http server must not make the desktop open local files or programs.
}

}  // namespace quorvel
