#pragma once

#include "core/HttpGet.h"

namespace quorvel {

// Makes each transfer in this process with libcurl: the download helper's (quorvel-fetch) and the
// tests' transport. The tray agent itself never links it.
class CurlTransport : public HttpTransport {
 public:
  HttpAnswer Get(const std::string& url, const FetchLimits& limits, const char* userAgent,
                 const std::atomic<bool>* cancel) override;
  // libcurl's global set-up (TLS included), done once; Get does it when nobody did before.
  static void Prepare();
};

}  // namespace quorvel
