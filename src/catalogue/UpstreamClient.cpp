#include "catalogue/UpstreamClient.h"

#include <algorithm>

#include "core/HttpGet.h"

namespace quorvel::catalogue {

UpstreamAnswer UpstreamGet(const std::string& url, std::chrono::milliseconds totalTimeout,
                           const UpstreamLimits& limits, const std::atomic<bool>& cancel) {
  FetchLimits bounds;
  bounds.connectTimeoutMs = static_cast<long>(limits.connectTimeout.count());
  bounds.lowSpeedSeconds = 0;  // the total time-out already fits the call limit
  bounds.totalTimeoutMs = static_cast<long>(std::max<int64_t>(totalTimeout.count(), 1));
  bounds.maxRedirects = limits.maxRedirects;
  bounds.maxBodyBytes = limits.maxBodyBytes;
  UpstreamAnswer answer = HttpGet(url, bounds, "Quorvel/2.0 (catalogue)", &cancel);
  if (answer.overflowed) answer.error = "answer too large";
  return answer;
}

}  // namespace quorvel::catalogue
