#pragma once

#include <string>

#include "core/HttpGet.h"

namespace quorvel {

// The tray agent's transport: each GET runs in quorvel-fetch, a helper process that lives for
// that one download, so the TLS libraries (and what they allocate at start) are in memory only
// while a download runs, never in the agent that sits in the tray for days. A cancelled, overdue
// or misbehaving helper is stopped; its answer counts only when it arrives whole.
class HelperProcessTransport : public HttpTransport {
 public:
  // An empty path (the helper is not installed) makes every GET fail, saying so.
  explicit HelperProcessTransport(std::string program);
  HttpAnswer Get(const std::string& url, const FetchLimits& limits, const char* userAgent,
                 const std::atomic<bool>* cancel) override;

 private:
  std::string program_;
};

}  // namespace quorvel
