#include "bridge/WebPage.h"

#include "bridge/MessageWindow.h"
#include "core/NumericText.h"
#include "core/UriLauncher.h"
#include "schedule/CalendarFile.h"

namespace quorvel {

WebPage::WebPage(MessageWindow& target) : target_(target) {
  RegisterMethods();
}

// The registration order fixes the DISPIDs the page relies on: never reorder.
void WebPage::RegisterMethods() {
  auto post = [this](unsigned message) {
    return [this, message](const std::vector<ScriptValue>&) { target_.Post(message, 0, 0); };
  };
  auto postInt = [this](unsigned message) {
    return [this, message](const std::vector<ScriptValue>& args) {
      if (args.size() != 1) return;
      if (const auto value = ScriptInt32(args[0])) target_.Post(message, 0, *value);
    };
  };

  RegisterMethod("OnClick", [this](const std::vector<ScriptValue>& args) {
    if (args.size() != 2 || args[0].kind != ScriptValue::Kind::BodyElement) return;
    const auto colour = ScriptText(args[1]);
    if (colour && script_ && script_->HasDocument()) script_->SetBodyBackground(*colour);
  });
  RegisterMethod("OnClose", post(WM_CLOSE));
  RegisterMethod("DragWindow", [this](const std::vector<ScriptValue>&) {
    target_.Post(WM_NCLBUTTONDOWN, HTCAPTION, 0);
  });
  RegisterMethod("CheckCurrentPlaying", post(WM_CHECKCURRENTPLAYING));
  RegisterMethod("SearchCallback", [this](const std::vector<ScriptValue>& args) {
    if (args.size() != 1) return;
    // Sent, not posted: the copy lives only for the handler's run.
    if (const auto text = ScriptText(args[0])) {
      target_.Send(WM_STORESEARCHTEXT, 0, reinterpret_cast<LPARAM>(&*text));
    }
  });
  RegisterMethod("GetDetails", postInt(WM_STORESERIESID));
  RegisterMethod("ShowSeason", postInt(WM_SHOWSEASON));
  RegisterMethod("AddToFavs", post(WM_ADDTOFAVS));
  RegisterMethod("ShowNextShows", post(WM_SHOWNEXTSHOWS));
  RegisterMethod("ShowRecentShows", post(WM_SHOWRECENTSHOWS));
  RegisterMethod("ShowMyShows", post(WM_SHOWMYSHOWS));
  RegisterMethod("RemoveShow", postInt(WM_REMOVESHOW));
  RegisterMethod("OpenURL", [](const std::vector<ScriptValue>& args) {
    if (args.size() != 1) return;
    if (const auto address = ScriptText(args[0])) OpenInBrowser(*address);
  });
  // Added after the thirteen, so theirs stay as they were.
  RegisterMethod("OpenCalendar", [](const std::vector<ScriptValue>&) { OpenCalendar(); });
}

void WebPage::RecordCallError(const std::string& reason) {
  lastError_ = "JSCall Error:\n" + reason;
}

bool WebPage::CallPageFunction(const std::string& name, const std::vector<std::string>& args) {
  if (!script_ || !script_->HasDocument()) {
    RecordCallError("NULL pointer");
    RecordCallError("Cannot GetScript");
    return false;
  }
  script_->Call(name, args, [this](const std::string& error) { RecordCallError(error); });
  return true;
}

bool WebPage::PopulateMyShowsTable(const std::string& seriesName, const std::string& id,
                                   const std::string& network, const std::string& genre,
                                   const std::string& imageUrl) {
  return CallPageFunction("PopulateMyShowsTable", {seriesName, id, network, genre, imageUrl});
}

bool WebPage::PopulateNextShows(const std::vector<std::string>& twelveArgs) {
  return CallPageFunction("PopulateNextShows", twelveArgs);
}

bool WebPage::PopulateRecentShows(const std::vector<std::string>& twelveArgs) {
  return CallPageFunction("PopulateRecentShows", twelveArgs);
}

bool WebPage::PopulateSearchTable(const std::string& seriesName, const std::string& id,
                                  const std::string& bannerUrl, const std::string& network,
                                  const std::string& firstAired, const std::string& overview) {
  return CallPageFunction("PopulateSearchTable",
                          {seriesName, id, bannerUrl, network, firstAired, overview});
}

bool WebPage::PopulateSeasonsTable(const std::string& episodeNumber, const std::string& episodeName,
                                   const std::string& firstAired, const std::string& parity) {
  return CallPageFunction("PopulateSeasonsTable", {episodeNumber, episodeName, firstAired, parity});
}

bool WebPage::PopulateCurentlyPlayingTable(
    const std::string& seriesName, const std::string& seriesId, const std::string& seasonNumber,
    const std::string& episodeNumber, const std::string& episodeName, const std::string& firstAired,
    const std::string& imageUrl, int32_t rowIndex, const std::string& overview,
    const std::string& seriesImdb, const std::string& episodeId, const std::string& episodeImdb) {
  return CallPageFunction(
      "PopulateCurentlyPlayingTable",
      {seriesName, seriesId, seasonNumber, episodeNumber, episodeName, firstAired, imageUrl,
       IntToText(rowIndex), overview, seriesImdb, episodeId, episodeImdb});
}

bool WebPage::AddRssItem(const std::string& title, const std::string& link) {
  return CallPageFunction("AddRssItem", {title, link});
}

bool WebPage::PopulateDetails(const std::string& seriesName, const std::string& overview,
                              const std::string& actors, const std::string& network,
                              const std::string& status, const std::string& airText,
                              const std::string& genre, const std::string& artworkUrl,
                              int32_t seasonCount, const std::string& id,
                              const std::string& imdbId) {
  return CallPageFunction(
      "PopulateDetails", {seriesName, overview, actors, network, status, airText, genre, artworkUrl,
                          IntToText(seasonCount), id, imdbId});
}

bool WebPage::ShowResults() {
  return CallPageFunction("ShowResults", {});
}
bool WebPage::NoResults() {
  return CallPageFunction("NoResults", {});
}
bool WebPage::initFinish() {
  return CallPageFunction("initFinish", {});
}

}  // namespace quorvel
