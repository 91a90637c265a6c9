#include "shows/Artwork.h"

#include "shows/SeriesRecord.h"

namespace quorvel {
namespace {

const std::string& FirstNonEmpty(const std::string& a, const std::string& b) {
  return a.empty() ? b : a;
}

}  // namespace

std::string SeriesArtworkUrl(const SeriesInfo& series) {
  return ArtworkUrl(FirstNonEmpty(series.poster, FirstNonEmpty(series.fanart, series.banner)));
}

std::string EpisodeArtworkUrl(const SeriesInfo& series, const EpisodeInfo& episode) {
  return ArtworkUrl(FirstNonEmpty(episode.filename, series.banner));
}

}  // namespace quorvel
