#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

#include "catalogue/CatalogueCache.h"
#include "catalogue/RateLimiter.h"
#include "catalogue/ShowUpdates.h"
#include "catalogue/UpstreamClient.h"
#include "shows/SeriesRecord.h"

namespace quorvel::catalogue {

struct CatalogueOptions {
  std::string apiBase = "https://api.tvmaze.com";        // QUORVEL_TVMAZE_URL
  std::string imagesBase = "https://static.tvmaze.com";  // QUORVEL_TVMAZE_IMAGES_URL
  std::size_t maxUpstreamCalls = 20;                     // in any window
  std::chrono::milliseconds upstreamWindow{10000};
  std::chrono::seconds showTtl{3600};
  std::chrono::seconds searchTtl{86400};
  std::chrono::seconds artworkTtl{86400};
  // An older show is still served from the cache when TVmaze's map of updates (fetched at most
  // once a day per span) says it has not changed since.
  UpdatesTiming updates;
  std::chrono::seconds updatesRetry{600};  // after a failed fetch of the map
  // Older entries are removed when the catalogue starts, so the cache cannot grow for ever; they
  // would only have stood in for TVmaze during an outage.
  std::chrono::seconds cacheMaxAge{30 * 86400};
  // One answer, waits and a retry included, ends before the native side gives up on a silent
  // transfer (15 s below 1 KiB/s).
  std::chrono::milliseconds answerBudget{12000};
  std::chrono::milliseconds upstreamTimeout{10000};
  std::chrono::seconds defaultRetryAfter{2};  // a 429 without Retry-After
  std::chrono::seconds maxRetryAfter{5};      // longer asks are not waited for
  std::chrono::seconds maxUpstreamHold{300};  // a bogus Retry-After cannot silence us for days
  UpstreamLimits limits;

  // The defaults with the two base URLs taken from the environment when set.
  static CatalogueOptions FromEnvironment();
};

struct CatalogueAnswer {
  int status = 200;
  std::string contentType;
  std::string body;
};

// TheTVDB's legacy addresses answered from TVmaze, with an on-disk cache that is served stale when
// TVmaze cannot be reached, and a limit on upstream calls. Callable from several threads at once.
class TvmazeCatalogue {
 public:
  explicit TvmazeCatalogue(CatalogueOptions options);

  // A request's path and raw (still percent-encoded) query, as the native side sends them:
  // "/api/GetSeries.php" with "seriesname=…", "/api/KEY/series/ID/all/en.xml", "/banners/PATH".
  // Anything else is a 404.
  CatalogueAnswer Answer(const std::string& path, const std::string& rawQuery);

  CatalogueAnswer Search(const std::string& text);
  CatalogueAnswer Series(const std::string& id);
  CatalogueAnswer Artwork(const std::string& path);

  // Drops cache entries older than the options allow.
  void PruneCache();

  // Ends every wait and transfer at once; answers after it come from the cache only.
  void Cancel();

 private:
  template <class T>
  struct Outcome {
    std::optional<T> value;
    int failureStatus = 502;
  };

  template <class T, class Parse>
  Outcome<T> Obtain(const std::string& key, std::chrono::seconds ttl, const std::string& url,
                    Parse parse);
  Outcome<SeriesRecord> ObtainSeries(const std::string& id);
  bool VouchedUnchanged(const std::string& id, const std::string& key, const SeriesInfo& cached,
                        int64_t ageSeconds, std::chrono::steady_clock::time_point deadline);
  const ShowUpdatesMap* UpdatesCovering(int64_t storedAt, int64_t now,
                                        std::chrono::steady_clock::time_point deadline);
  std::optional<std::string> FetchUpstream(const std::string& url,
                                           std::chrono::steady_clock::time_point deadline,
                                           bool haveStale, long& status);
  bool TakeUpstreamSlot(std::chrono::steady_clock::time_point deadline, bool haveStale);
  void HoldUpstream(std::chrono::steady_clock::time_point until);

  CatalogueOptions options_;
  CatalogueCache cache_;
  std::mutex mutex_;
  std::condition_variable wake_;
  RateLimiter limiter_;
  std::atomic<bool> cancelled_{false};

  // One slot per span of kUpdatesWindows; the map on disk is read once, then kept here.
  struct UpdatesSlot {
    std::optional<ShowUpdatesMap> map;
    bool diskRead = false;
    int64_t lastAttempt = 0;
  };
  std::mutex updatesMutex_;  // held while a map is fetched, so only one caller fetches it
  UpdatesSlot updates_[kUpdatesWindowCount];
};

// The search text of a raw GetSeries.php query: everything after "seriesname=" (the native side
// appends the text unescaped, so an "&" belongs to it), '+' as a space, percent escapes decoded.
std::string SearchTextOf(const std::string& rawQuery);

}  // namespace quorvel::catalogue
