#pragma once

#include <string>
#include <vector>

#include "bridge/MessageWindow.h"
#include "bridge/PageScript.h"
#include "bridge/WebPage.h"
#include "schedule/PageCalls.h"

namespace quorvel::test {

struct PageCall {
  std::string name;
  std::vector<std::string> args;
  bool operator==(const PageCall&) const = default;
};

// The page calls of the views and commands, recorded in order with their text arguments exactly
// as WebPage sends them; no window and no browser.
class RecordingPage : public PageCalls {
 public:
  bool PopulateMyShowsTable(const std::string& seriesName, const std::string& id,
                            const std::string& network, const std::string& genre,
                            const std::string& imageUrl) override;
  bool PopulateNextShows(const std::vector<std::string>& twelveArgs) override;
  bool PopulateRecentShows(const std::vector<std::string>& twelveArgs) override;
  bool PopulateSearchTable(const std::string& seriesName, const std::string& id,
                           const std::string& bannerUrl, const std::string& network,
                           const std::string& firstAired, const std::string& overview) override;
  bool PopulateSeasonsTable(const std::string& episodeNumber, const std::string& episodeName,
                            const std::string& firstAired, const std::string& parity) override;
  bool PopulateCurentlyPlayingTable(const std::string& seriesName, const std::string& seriesId,
                                    const std::string& seasonNumber,
                                    const std::string& episodeNumber,
                                    const std::string& episodeName, const std::string& firstAired,
                                    const std::string& imageUrl, int32_t rowIndex,
                                    const std::string& overview, const std::string& seriesImdb,
                                    const std::string& episodeId,
                                    const std::string& episodeImdb) override;
  bool AddRssItem(const std::string& title, const std::string& link) override;
  bool PopulateDetails(const std::string& seriesName, const std::string& overview,
                       const std::string& actors, const std::string& network,
                       const std::string& status, const std::string& airText,
                       const std::string& genre, const std::string& artworkUrl, int32_t seasonCount,
                       const std::string& id, const std::string& imdbId) override;
  bool ShowResults() override;
  bool NoResults() override;
  bool initFinish() override;

  // Only the function names, in order.
  std::vector<std::string> Names() const;

  std::vector<PageCall> calls;

 private:
  bool Record(const char* name, std::vector<std::string> args);
};

// A loaded page that records every call in order; functions named in `missing` fail as a page
// without them would.
class RecordingPageScript : public PageScript {
 public:
  bool HasDocument() const override { return hasDocument; }
  void Call(const std::string& name, const std::vector<std::string>& args,
            std::function<void(const std::string&)> onError) override;
  void SetBodyBackground(const std::string& colour) override { backgrounds.push_back(colour); }

  // Only the function names, in order.
  std::vector<std::string> Names() const;

  bool hasDocument = true;
  std::vector<std::string> missing;
  std::vector<PageCall> calls;
  std::vector<std::string> backgrounds;
};

// The real WebPage over a recording script, for testing the page calls' own behaviour.
class RecordingWebPage {
 public:
  RecordingWebPage() : page(window) { page.SetScript(&script); }
  MessageWindow window;
  RecordingPageScript script;
  WebPage page;
};

}  // namespace quorvel::test
