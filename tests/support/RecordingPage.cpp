#include "support/RecordingPage.h"

#include <algorithm>

#include "core/NumericText.h"

namespace quorvel::test {
namespace {

std::vector<std::string> NamesOf(const std::vector<PageCall>& calls) {
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.name);
  return names;
}

}  // namespace

bool RecordingPage::Record(const char* name, std::vector<std::string> args) {
  calls.push_back({name, std::move(args)});
  return true;
}

bool RecordingPage::PopulateMyShowsTable(const std::string& seriesName, const std::string& id,
                                         const std::string& network, const std::string& genre,
                                         const std::string& imageUrl) {
  return Record("PopulateMyShowsTable", {seriesName, id, network, genre, imageUrl});
}
bool RecordingPage::PopulateNextShows(const std::vector<std::string>& twelveArgs) {
  return Record("PopulateNextShows", twelveArgs);
}
bool RecordingPage::PopulateRecentShows(const std::vector<std::string>& twelveArgs) {
  return Record("PopulateRecentShows", twelveArgs);
}
bool RecordingPage::PopulateSearchTable(const std::string& seriesName, const std::string& id,
                                        const std::string& bannerUrl, const std::string& network,
                                        const std::string& firstAired,
                                        const std::string& overview) {
  return Record("PopulateSearchTable", {seriesName, id, bannerUrl, network, firstAired, overview});
}
bool RecordingPage::PopulateSeasonsTable(const std::string& episodeNumber,
                                         const std::string& episodeName,
                                         const std::string& firstAired, const std::string& parity) {
  return Record("PopulateSeasonsTable", {episodeNumber, episodeName, firstAired, parity});
}
bool RecordingPage::PopulateCurentlyPlayingTable(
    const std::string& seriesName, const std::string& seriesId, const std::string& seasonNumber,
    const std::string& episodeNumber, const std::string& episodeName, const std::string& firstAired,
    const std::string& imageUrl, int32_t rowIndex, const std::string& overview,
    const std::string& seriesImdb, const std::string& episodeId, const std::string& episodeImdb) {
  return Record("PopulateCurentlyPlayingTable",
                {seriesName, seriesId, seasonNumber, episodeNumber, episodeName, firstAired,
                 imageUrl, IntToText(rowIndex), overview, seriesImdb, episodeId, episodeImdb});
}
bool RecordingPage::AddRssItem(const std::string& title, const std::string& link) {
  return Record("AddRssItem", {title, link});
}
bool RecordingPage::PopulateDetails(const std::string& seriesName, const std::string& overview,
                                    const std::string& actors, const std::string& network,
                                    const std::string& status, const std::string& airText,
                                    const std::string& genre, const std::string& artworkUrl,
                                    int32_t seasonCount, const std::string& id,
                                    const std::string& imdbId) {
  return Record("PopulateDetails", {seriesName, overview, actors, network, status, airText, genre,
                                    artworkUrl, IntToText(seasonCount), id, imdbId});
}
bool RecordingPage::ShowResults() {
  return Record("ShowResults", {});
}
bool RecordingPage::NoResults() {
  return Record("NoResults", {});
}
bool RecordingPage::initFinish() {
  return Record("initFinish", {});
}

std::vector<std::string> RecordingPage::Names() const {
  return NamesOf(calls);
}

void RecordingPageScript::Call(const std::string& name, const std::vector<std::string>& args,
                               std::function<void(const std::string&)> onError) {
  if (std::find(missing.begin(), missing.end(), name) != missing.end()) {
    onError("ReferenceError: Can't find variable: " + name);
    return;
  }
  calls.push_back({name, args});
}

std::vector<std::string> RecordingPageScript::Names() const {
  return NamesOf(calls);
}

}  // namespace quorvel::test
