#pragma once

// Owners for the libxml2 handles the XML layer uses; each frees its handle on every path.

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <memory>

namespace quorvel {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ParserCtxtFree {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct XPathContextFree {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

struct XmlCharsFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

using XmlCharsPtr = std::unique_ptr<xmlChar, XmlCharsFree>;
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtFree>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextFree>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectFree>;

}  // namespace quorvel
