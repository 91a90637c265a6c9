#include "core/UriLauncher.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "core/Handles.h"

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

// Percent-decoded text; empty when it does not decode (a NUL or a bad escape).
std::string Unescaped(const std::string& text) {
  const GCharPtr decoded(g_uri_unescape_string(text.c_str(), nullptr));
  return decoded ? std::string(decoded.get()) : std::string();
}

// A mail address with only the recipients and the plain message fields. Mail programs take other
// header fields from the address too, and some act on them ("attach" attaches a local file).
std::string WithMessageFieldsOnly(const std::string& address) {
  static constexpr std::array<std::string_view, 5> kKept = {"to", "cc", "bcc", "subject", "body"};
  const std::string withoutFragment = address.substr(0, address.find('#'));
  const std::size_t question = withoutFragment.find('?');
  std::string kept = withoutFragment.substr(0, question);
  // An escaped "?" in the recipients would start the fields again once a handler decodes them.
  if (const std::string recipients = Unescaped(kept);
      recipients.find_first_of("?#") != std::string::npos) {
    kept = kept.substr(0, kept.find(':') + 1);
  }
  if (question == std::string::npos) return kept;
  const std::string fields = withoutFragment.substr(question + 1);
  char separator = '?';
  for (std::size_t start = 0; start <= fields.size();) {
    const std::size_t end = std::min(fields.find('&', start), fields.size());
    const std::string field = fields.substr(start, end - start);
    const std::string name = LowerAscii(Unescaped(field.substr(0, field.find('='))));
    if (std::find(kKept.begin(), kKept.end(), name) != kKept.end()) {
      kept += separator + field;
      separator = '&';
    }
    start = end + 1;
  }
  return kept;
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
  if (scheme == "mailto") {
    CurrentUriLauncher().Launch(WithMessageFieldsOnly(address));
  } else if (std::find(kOpened.begin(), kOpened.end(), scheme) != kOpened.end()) {
    CurrentUriLauncher().Launch(address);
  } else if (std::find(kRefused.begin(), kRefused.end(), scheme) == kRefused.end()) {
    CurrentUriLauncher().Launch("http://" + address);
  }
  // A page from a plain-http server must not make the desktop open local files or programs.
}

}  // namespace quorvel
