#pragma once

#include "core/Places.h"

namespace quorvel {

// Reads the environment once, at start, into the places the rest of the program is handed:
// the remote hosts (QUORVEL_TVDB_HOST, QUORVEL_FEED_HOST, QUORVEL_UPDATE_HOST, QUORVEL_PAGE_HOST;
// unset or empty keeps the default, and TheTVDB's default is the embedded catalogue while it
// runs), the data folder (created with its parents), the bundled page and the user id. Call it
// after the embedded catalogue has started.
Places ReadPlaces();

}  // namespace quorvel
