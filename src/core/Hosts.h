#pragma once

#include <string>

namespace quorvel {

// Remote hosts, each "name" or "name:port", fixed defaults overridable from the environment.
std::string TvdbHost();    // QUORVEL_TVDB_HOST
std::string FeedHost();    // QUORVEL_FEED_HOST
std::string UpdateHost();  // QUORVEL_UPDATE_HOST
std::string PageHost();    // QUORVEL_PAGE_HOST; empty means the bundled page

}  // namespace quorvel
