#include "platform/PageOrigin.h"

#include <glib.h>

#include <memory>

namespace quorvel {
namespace {

struct UriDeleter {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using UriPtr = std::unique_ptr<GUri, UriDeleter>;

UriPtr Parse(std::string_view text) {
  const std::string copy(text);
  if (copy.find('\0') != std::string::npos) return nullptr;
  // Kept as written (percent-encoded), which is how the page's location spells its path.
  return UriPtr(g_uri_parse(copy.c_str(), G_URI_FLAGS_ENCODED, nullptr));
}

std::string Lower(const char* text) {
  gchar* lower = g_ascii_strdown(text ? text : "", -1);
  std::string result(lower);
  g_free(lower);
  return result;
}

std::optional<PageOrigin> OriginOf(GUri* uri) {
  if (!uri) return std::nullopt;
  PageOrigin origin;
  origin.scheme = Lower(g_uri_get_scheme(uri));
  if (origin.scheme == "http" || origin.scheme == "https") {
    std::string host = Lower(g_uri_get_host(uri));
    if (host.empty()) return std::nullopt;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    const int port = g_uri_get_port(uri);
    const int standard = origin.scheme == "http" ? 80 : 443;
    origin.origin = origin.scheme + "://" + host;
    if (port > 0 && port != standard) origin.origin += ":" + std::to_string(port);
    return origin;
  }
  if (origin.scheme == "file") {
    const std::string host = Lower(g_uri_get_host(uri));
    if (!host.empty() && host != "localhost") return std::nullopt;
    const std::string path = g_uri_get_path(uri);
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path[0] != '/' || slash == std::string::npos) return std::nullopt;
    origin.folder = path.substr(0, slash + 1);
    return origin;
  }
  return std::nullopt;
}

// A path that climbs out of its folder, however it is spelled.
bool HasDotSegment(const std::string& path) {
  gchar* decoded = g_uri_unescape_string(path.c_str(), nullptr);
  const std::string plain = decoded ? decoded : "/../";
  g_free(decoded);
  return plain.find("/../") != std::string::npos || plain.find("/./") != std::string::npos ||
         plain.ends_with("/..") || plain.ends_with("/.");
}

}  // namespace

std::optional<PageOrigin> PageOriginOf(std::string_view address) {
  const UriPtr uri = Parse(address);
  return OriginOf(uri.get());
}

bool IsPageDocument(const PageOrigin& page, std::string_view uri) {
  const UriPtr parsed = Parse(uri);
  const auto origin = OriginOf(parsed.get());
  if (!origin || origin->scheme != page.scheme) return false;
  if (page.scheme != "file") return origin->origin == page.origin;
  const std::string path = g_uri_get_path(parsed.get());
  return path.starts_with(page.folder) && !HasDotSegment(path);
}

}  // namespace quorvel
