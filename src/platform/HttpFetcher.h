#pragma once

#include <string>

#include "core/Fetcher.h"
#include "core/HttpGet.h"

namespace quorvel {

// The program's fetcher: one bounded HttpGet per address (over the installed transport). A non-2xx
// answer, a body over the limit, or any time limit reached is a failure with an empty body.
class HttpFetcher : public Fetcher {
 public:
  explicit HttpFetcher(FetchLimits limits = {});
  FetchResult Fetch(const std::string& url) override;

 private:
  FetchLimits limits_;
};

}  // namespace quorvel
