#include "app/Hosts.h"

#include <cstdlib>

namespace quorvel {
namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

std::string TvdbHost() {
  return FromEnvironment("QUORVEL_TVDB_HOST", "thetvdb.com");
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
