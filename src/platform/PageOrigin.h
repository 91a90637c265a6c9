#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Where the page's own documents come from: the page server's origin (scheme, host, port), or
// for the bundled page the folder that holds it. window.external exists only in those
// documents; a top-level document from anywhere else never opens in the main window.
struct PageOrigin {
  std::string scheme;  // "http", "https" or "file"
  std::string origin;  // http(s): as location.origin spells it, "http://127.0.0.1:8080"
  std::string folder;  // file: the page folder's path as the address spells it, ending in '/'
};

// Empty for an address that is not an absolute http, https or file address.
std::optional<PageOrigin> PageOriginOf(std::string_view address);

// Whether a document at uri belongs to the page.
bool IsPageDocument(const PageOrigin& page, std::string_view uri);

}  // namespace quorvel
