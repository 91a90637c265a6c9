#pragma once

#include <cstddef>
#include <string>

#include "core/Fetcher.h"

namespace quorvel {

// Bounds on one fetch. The defaults are the program's; tests shorten them.
struct FetchLimits {
  long connectTimeoutMs = 10000;
  long lowSpeedBytesPerSecond = 1024;  // a transfer slower than this...
  long lowSpeedSeconds = 15;           // ...for this long is abandoned
  long totalTimeoutMs = 60000;
  long maxRedirects = 5;
  std::size_t maxBodyBytes = 32u * 1024u * 1024u;  // counted after decompression
};

// Fetches http and https addresses with libcurl. Redirects stay on http and https; a non-2xx
// answer, a body over the limit, or any time limit reached is a failure with an empty body.
class CurlFetcher : public Fetcher {
 public:
  explicit CurlFetcher(FetchLimits limits = {});
  FetchResult Fetch(const std::string& url) override;

 private:
  FetchLimits limits_;
};

}  // namespace quorvel
