#pragma once

// TheTVDB's legacy XML answers, built from records. The output is always well-formed UTF-8: text
// is escaped, and characters XML cannot carry are dropped.

#include <string>
#include <vector>

#include "shows/Records.h"
#include "shows/SeriesRecord.h"

namespace quorvel::catalogue {

// Data with one Series per hit: id, seriesid, SeriesName, banner, Overview, FirstAired, Network,
// IMDB_ID.
std::string SearchAnswerXml(const std::vector<SearchResult>& results);

// Data with one Series (the series fields) followed by one Episode per episode.
std::string SeriesDocumentXml(const SeriesRecord& record);

// Data with no children: what a search without hits, or a series nobody knows, reads as.
std::string EmptyAnswerXml();

// Valid UTF-8 without the characters XML 1.0 forbids (controls other than tab, line feed and
// carriage return; U+FFFE and U+FFFF).
std::string XmlSafeText(const std::string& text);

}  // namespace quorvel::catalogue
