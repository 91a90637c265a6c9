#include "shows/SeriesRecord.h"

namespace quorvel {

// Placeholder until the series record lands.
bool SeriesRecord::ReadSeriesDocument(const std::string&) {
  return false;
}
bool SeriesRecord::WriteSeriesFile(const std::string&) const {
  return false;
}
std::string ArtworkUrl(const std::string&) {
  return {};
}

}  // namespace quorvel
