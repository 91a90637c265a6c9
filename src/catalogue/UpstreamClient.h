#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "core/HttpGet.h"

namespace quorvel::catalogue {

// The status (0 when no HTTP answer arrived), body, content type, Retry-After and, without an
// answer, why.
using UpstreamAnswer = HttpAnswer;

struct UpstreamLimits {
  std::chrono::milliseconds connectTimeout{10000};
  std::size_t maxBodyBytes = 32u << 20;
  long maxRedirects = 5;
};

// GET over http or https with the hardening of every fetch: bounded connect and total time,
// bounded redirects (http and https only), a body cap counted as bytes arrive (also for chunked
// and compressed bodies). Returns early, with status 0, once cancel becomes true.
UpstreamAnswer UpstreamGet(const std::string& url, std::chrono::milliseconds totalTimeout,
                           const UpstreamLimits& limits, const std::atomic<bool>& cancel);

}  // namespace quorvel::catalogue
