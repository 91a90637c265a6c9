#include "core/Hosts.h"

#include <cstdlib>

#include "catalogue/EmbeddedCatalogue.h"

namespace quorvel {
namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

std::string TvdbHost() {
  // TheTVDB's legacy API is gone; the embedded catalogue answers its addresses from TVmaze.
  const std::string catalogue = catalogue::EmbeddedCatalogueHost();
  return FromEnvironment("QUORVEL_TVDB_HOST",
                         catalogue.empty() ? "thetvdb.com" : catalogue.c_str());
}
std::string FeedHost() {
  return FromEnvironment("QUORVEL_FEED_HOST", "showrss.info");
}
std::string UpdateHost() {
  return FromEnvironment("QUORVEL_UPDATE_HOST", "www.quorvel.net");
}
std::string PageHost() {
  return FromEnvironment("QUORVEL_PAGE_HOST", "");
}

}  // namespace quorvel
