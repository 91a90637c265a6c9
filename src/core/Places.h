#pragma once

#include <string>

namespace quorvel {

// Where the program finds its servers, its files and its page. The program reads them from the
// environment once at start (app/Environment) and installs them; tests install their own. Each
// host is "name" or "name:port".
struct Places {
  std::string tvdbHost = "thetvdb.com";
  std::string feedHost = "showrss.info";
  std::string updateHost = "www.quorvel.net";
  std::string pageHost;          // the page server; empty means the bundled page
  std::string bundledPage;       // file:// address of the bundled main.html, or empty
  std::string dataFolder;        // the followed series' folder, ending in "/"; empty without a home
  std::string userId;            // sent to the page as v
  bool catalogueCredit = false;  // TheTVDB's addresses lead to the embedded catalogue
};

// The installed places; the defaults above (no data folder) until something is installed.
const Places& CurrentPlaces();

// Installs places for the lifetime of this object, then puts the previous ones back.
class ScopedPlaces {
 public:
  explicit ScopedPlaces(Places places);
  ~ScopedPlaces();
  ScopedPlaces(const ScopedPlaces&) = delete;
  ScopedPlaces& operator=(const ScopedPlaces&) = delete;

 private:
  Places places_;
  const Places* previous_;
};

inline const std::string& TvdbHost() {
  return CurrentPlaces().tvdbHost;
}
inline const std::string& FeedHost() {
  return CurrentPlaces().feedHost;
}
inline const std::string& UpdateHost() {
  return CurrentPlaces().updateHost;
}
inline const std::string& PageHost() {
  return CurrentPlaces().pageHost;
}

}  // namespace quorvel
