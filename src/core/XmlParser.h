#pragma once

// The hardened parser every XML read goes through: no DOCTYPE, no entity expansion, no network,
// no file outside the bytes given, no diagnostics on stderr, and a size limit.

#include <libxml/parser.h>

#include <cstddef>
#include <string>

#include "core/Handles.h"

namespace quorvel {

// Documents larger than this, from a file or a server, are not read.
inline constexpr std::size_t kMaxDocumentBytes = 32u * 1024u * 1024u;

// What the parse callbacks learn about the document while it is read. A streamed read keeps one
// as the first member of its own state (ctxt->_private points at it).
struct ParseVerdict {
  bool hasDoctype = false;
  bool hasError = false;
};

// libxml2's per-thread settings: quiet, and no external entity loader.
void QuietLibxml();
ParseVerdict& VerdictOf(void* parserContext);
// A parser for the bytes with the refusals every read shares; null when the bytes are refused
// before parsing (empty or too large).
ParserCtxtPtr NewParser(const std::string& bytes, ParseVerdict& verdict);
// True when the parse ended well-formed, without a DOCTYPE and without an error.
bool Accepted(const xmlParserCtxt& ctxt, const ParseVerdict& verdict);
// The document of the bytes, or null when they are refused.
XmlDocPtr ParseBytes(const std::string& bytes);

// The bytes of an "http://" or "https://" address (through CurrentFetcher()) or of a regular
// file; empty when unreadable.
std::string ReadDocumentBytes(const std::string& source);

}  // namespace quorvel
