#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bridge/JSHandler.h"
#include "bridge/PageScript.h"

namespace quorvel {

class MessageWindow;

// The main window's page: its external object (the thirteen methods, which post or send commands
// to the target window, then OpenCalendar) and one operation per page function, each a call by name
// with text arguments. Failures land in lastError() and never stop a command.
class WebPage : public JSHandler {
 public:
  explicit WebPage(MessageWindow& target);

  // The page backend; null while there is no browser.
  void SetScript(PageScript* script) { script_ = script; }
  PageScript* script() const { return script_; }

  bool CallPageFunction(const std::string& name, const std::vector<std::string>& args);
  const std::string& lastError() const { return lastError_; }

  bool PopulateMyShowsTable(const std::string& seriesName, const std::string& id,
                            const std::string& network, const std::string& genre,
                            const std::string& imageUrl);
  bool PopulateNextShows(const std::vector<std::string>& twelveArgs);
  bool PopulateRecentShows(const std::vector<std::string>& twelveArgs);
  bool PopulateSearchTable(const std::string& seriesName, const std::string& id,
                           const std::string& bannerUrl, const std::string& network,
                           const std::string& firstAired, const std::string& overview);
  bool PopulateSeasonsTable(const std::string& episodeNumber, const std::string& episodeName,
                            const std::string& firstAired, const std::string& parity);
  // Argument 8 is an integer, sent as "%d" text.
  bool PopulateCurentlyPlayingTable(const std::string& seriesName, const std::string& seriesId,
                                    const std::string& seasonNumber,
                                    const std::string& episodeNumber,
                                    const std::string& episodeName, const std::string& firstAired,
                                    const std::string& imageUrl, int32_t rowIndex,
                                    const std::string& overview, const std::string& seriesImdb,
                                    const std::string& episodeId, const std::string& episodeImdb);
  bool AddRssItem(const std::string& title, const std::string& link);
  // Argument 9 is an integer, sent as "%d" text.
  bool PopulateDetails(const std::string& seriesName, const std::string& overview,
                       const std::string& actors, const std::string& network,
                       const std::string& status, const std::string& airText,
                       const std::string& genre, const std::string& artworkUrl, int32_t seasonCount,
                       const std::string& id, const std::string& imdbId);
  bool ShowResults();
  bool NoResults();
  bool initFinish();

 private:
  void RecordCallError(const std::string& reason);
  void RegisterMethods();

  MessageWindow& target_;
  PageScript* script_ = nullptr;
  std::string lastError_;
};

}  // namespace quorvel
