#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace quorvel {

// The bounds of every GET the program makes. The defaults are the program's; tests shorten them.
struct FetchLimits {
  long connectTimeoutMs = 10000;
  long lowSpeedBytesPerSecond = 1024;  // a transfer slower than this...
  long lowSpeedSeconds = 15;           // ...for this long is abandoned; 0: no such bound
  long totalTimeoutMs = 60000;
  long maxRedirects = 5;
  std::size_t maxBodyBytes = 32u * 1024u * 1024u;  // counted after decompression
};

struct HttpAnswer {
  long status = 0;  // 0 when no HTTP answer arrived
  std::string body;
  std::string contentType;
  std::optional<std::chrono::seconds> retryAfter;  // from a Retry-After header
  std::string error;                               // why no answer, when status is 0
  bool overflowed = false;                         // the body passed maxBodyBytes

  bool ok() const { return status >= 200 && status < 300; }
};

// What makes the transfers HttpGet asks for. The program's runs each one in a short-lived helper
// process (platform/FetchHelper), so the agent that stays in the tray never loads the TLS
// libraries; the tests and tools make them in process (platform/CurlTransport).
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Called only for http:// and https:// addresses; every bound below is the transport's to keep.
  virtual HttpAnswer Get(const std::string& url, const FetchLimits& limits, const char* userAgent,
                         const std::atomic<bool>* cancel) = 0;
};

// Installs a transport for the lifetime of this object; until one is, HttpGet fetches nothing.
class ScopedHttpTransport {
 public:
  explicit ScopedHttpTransport(HttpTransport& transport);
  ~ScopedHttpTransport();
  ScopedHttpTransport(const ScopedHttpTransport&) = delete;
  ScopedHttpTransport& operator=(const ScopedHttpTransport&) = delete;

 private:
  HttpTransport* previous_;
};

// GET over http or https and nothing else: redirects stay on http and https and are bounded, the
// connection, the whole transfer and a stalled transfer are bounded in time, and the body is
// capped as its bytes arrive (after decompression, so neither a missing Content-Length nor a small
// compressed body can smuggle more into memory). Returns early, with status 0, once *cancel
// becomes true.
HttpAnswer HttpGet(const std::string& url, const FetchLimits& limits, const char* userAgent,
                   const std::atomic<bool>* cancel = nullptr);

}  // namespace quorvel
