#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/JSHandler.h"
#include "bridge/PageScript.h"
#include "schedule/PageCalls.h"

namespace quorvel {

class MessageWindow;

// The names window.external offers, in DISPID order (WebPage registers them in this order): the
// thirteen, then the additions (OpenCalendar).
inline constexpr std::array<const char*, 14> kExternalMethodNames = {
    "OnClick",     "OnClose",    "DragWindow", "CheckCurrentPlaying", "SearchCallback",
    "GetDetails",  "ShowSeason", "AddToFavs",  "ShowNextShows",       "ShowRecentShows",
    "ShowMyShows", "RemoveShow", "OpenURL",    "OpenCalendar"};

// The main window's page: its external object (the thirteen methods, which post or send commands
// to the target window, then OpenCalendar) and the page calls, each a call by name with text
// arguments through the browser. Failures land in lastError() and never stop a command.
class WebPage : public JSHandler, public PageCalls {
 public:
  explicit WebPage(MessageWindow& target);

  // The page backend; null while there is no browser.
  void SetScript(PageScript* script) { script_ = script; }
  PageScript* script() const { return script_; }

  bool CallPageFunction(const std::string& name, const std::vector<std::string>& args);
  const std::string& lastError() const { return lastError_; }

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

 private:
  void RecordCallError(const std::string& reason);
  void RegisterMethods();

  MessageWindow& target_;
  PageScript* script_ = nullptr;
  std::string lastError_;
};

}  // namespace quorvel
