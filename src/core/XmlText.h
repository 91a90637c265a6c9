#pragma once

#include <libxml/xmlstring.h>

#include <string>
#include <string_view>

namespace quorvel {

// Small text helpers the XML parser, scanner and DOM readers share.

inline const xmlChar* Xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}
inline const char* Chars(const xmlChar* text) {
  return reinterpret_cast<const char*>(text);
}

// The text with XML white space (space, tab, CR, LF) trimmed from both ends.
std::string Trimmed(std::string_view text);

// True when the name as written in the document, prefix included ("showrss:showid"), is name.
bool HasWrittenName(const xmlChar* localName, const xmlChar* prefix, const char* name);

}  // namespace quorvel
