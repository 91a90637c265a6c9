#include "catalogue/ShowUpdates.h"

#include <glib.h>

namespace quorvel::catalogue {
namespace {

// A fetch takes a while; a map fetched "now" may be dated this much later.
constexpr int64_t kFetchSlack = 120;

}  // namespace

bool MapCovers(const ShowUpdatesMap& map, int64_t storedAt, int64_t now,
               const UpdatesTiming& timing) {
  if (map.window >= kUpdatesWindowCount) return false;
  const int64_t madeAtLeast = map.fetchedAt - timing.lag;  // the map knows TVmaze up to here
  const int64_t reachesBackTo = map.fetchedAt - kUpdatesWindows[map.window].seconds;
  // The copy itself may be an answer TVmaze made up to lag before it was stored.
  return now - map.fetchedAt < timing.maxAge && map.fetchedAt <= now + kFetchSlack &&
         storedAt <= madeAtLeast && storedAt - timing.lag >= reachesBackTo;
}

std::optional<std::size_t> WindowToFetch(int64_t storedAt, int64_t now,
                                         const UpdatesTiming& timing) {
  if (storedAt > now - timing.lag) return std::nullopt;
  for (std::size_t i = 0; i < kUpdatesWindowCount; ++i)
    if (storedAt - timing.lag >= now + kFetchSlack - kUpdatesWindows[i].seconds) return i;
  return std::nullopt;
}

bool UnchangedSince(const ShowUpdatesMap& map, const std::string& id,
                    const std::string& cachedStamp, int64_t storedAt, const UpdatesTiming& timing) {
  const std::optional<int64_t> changed = map.stamps.Find(id);
  if (!changed) return true;  // not changed within the map's span
  if (cachedStamp.empty() || !g_ascii_isdigit(cachedStamp[0])) return false;
  return *changed <= g_ascii_strtoll(cachedStamp.c_str(), nullptr, 10) &&
         *changed <= storedAt - timing.lag;
}

}  // namespace quorvel::catalogue
