#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// The eleven functions the page offers to native code, as the views and commands call them. Every
// value reaches the page as text; the integer arguments are sent in "%d" form. A call returns
// false when the page could not be reached; a command goes on regardless. WebPage implements this
// over the browser; tests record the calls without a window.
class PageCalls {
 public:
  virtual ~PageCalls() = default;

  virtual bool PopulateMyShowsTable(const std::string& seriesName, const std::string& id,
                                    const std::string& network, const std::string& genre,
                                    const std::string& imageUrl) = 0;
  // A next or a recent row: the twelve arguments EpisodeRowArguments gives.
  virtual bool PopulateNextShows(const std::vector<std::string>& twelveArgs) = 0;
  virtual bool PopulateRecentShows(const std::vector<std::string>& twelveArgs) = 0;
  virtual bool PopulateSearchTable(const std::string& seriesName, const std::string& id,
                                   const std::string& bannerUrl, const std::string& network,
                                   const std::string& firstAired, const std::string& overview) = 0;
  virtual bool PopulateSeasonsTable(const std::string& episodeNumber,
                                    const std::string& episodeName, const std::string& firstAired,
                                    const std::string& parity) = 0;
  virtual bool PopulateCurentlyPlayingTable(
      const std::string& seriesName, const std::string& seriesId, const std::string& seasonNumber,
      const std::string& episodeNumber, const std::string& episodeName,
      const std::string& firstAired, const std::string& imageUrl, int32_t rowIndex,
      const std::string& overview, const std::string& seriesImdb, const std::string& episodeId,
      const std::string& episodeImdb) = 0;
  virtual bool AddRssItem(const std::string& title, const std::string& link) = 0;
  virtual bool PopulateDetails(const std::string& seriesName, const std::string& overview,
                               const std::string& actors, const std::string& network,
                               const std::string& status, const std::string& airText,
                               const std::string& genre, const std::string& artworkUrl,
                               int32_t seasonCount, const std::string& id,
                               const std::string& imdbId) = 0;
  virtual bool ShowResults() = 0;
  virtual bool NoResults() = 0;
  virtual bool initFinish() = 0;
};

}  // namespace quorvel
