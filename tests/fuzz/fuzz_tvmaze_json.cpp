// TVmaze's JSON as the catalogue maps it; whatever arrives, the XML it answers must be well-formed.

#include <libxml/parser.h>

#include <cstdlib>

#include "FuzzSupport.h"
#include "catalogue/LegacyXml.h"
#include "catalogue/TvmazeMapping.h"

namespace {

void RequireWellFormed(const std::string& xml) {
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) std::abort();
  xmlFreeDoc(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvel::catalogue;
  const std::string json = quorvel::fuzz::AsString(data, size);
  if (auto record = MapShow(json)) RequireWellFormed(SeriesDocumentXml(*record));
  // A show and its episode list, as the catalogue joins them: the first line is the show.
  const std::size_t cut = json.find('\n');
  if (cut != std::string::npos)
    if (auto entry = ShowWithEpisodes(json.substr(0, cut), json.substr(cut + 1)))
      if (auto record = MapShow(*entry)) RequireWellFormed(SeriesDocumentXml(*record));
  MapShowUpdates(json);
  if (auto results = MapSearchResults(json)) RequireWellFormed(SearchAnswerXml(*results));
  HtmlToPlainText(json);
  return 0;
}
