#include "core/XmlText.h"

#include <cstring>

namespace quorvel {

std::string Trimmed(std::string_view text) {
  constexpr std::string_view kXmlSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kXmlSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kXmlSpace);
  return std::string(text.substr(first, last - first + 1));
}

bool HasWrittenName(const xmlChar* localName, const xmlChar* prefix, const char* name) {
  const char* local = Chars(localName);
  if (prefix) {
    const char* written = Chars(prefix);
    const std::size_t prefixLength = std::strlen(written);
    return std::strncmp(name, written, prefixLength) == 0 && name[prefixLength] == ':' &&
           std::strcmp(name + prefixLength + 1, local) == 0;
  }
  return std::strcmp(name, local) == 0;
}

}  // namespace quorvel
