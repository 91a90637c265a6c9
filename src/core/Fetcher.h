#pragma once

#include <atomic>
#include <string>

namespace quorvel {

struct FetchResult {
  bool ok = false;
  std::string body;   // the whole body, decompressed, when ok
  std::string error;  // why not, when !ok
};

// Fetches the bytes behind an http:// or https:// address. Implementations bound time, size and
// redirects; any failure (including a non-2xx status) is !ok with an empty body.
class Fetcher {
 public:
  virtual ~Fetcher() = default;
  virtual FetchResult Fetch(const std::string& url) = 0;
};

// The fetcher every document load uses: the one installed last (platform/HttpFetcher in the
// program); one that fetches nothing until then.
Fetcher& CurrentFetcher();

// Installs a fetcher for the lifetime of this object.
class ScopedFetcher {
 public:
  explicit ScopedFetcher(Fetcher& fetcher);
  ~ScopedFetcher();
  ScopedFetcher(const ScopedFetcher&) = delete;
  ScopedFetcher& operator=(const ScopedFetcher&) = delete;

 private:
  Fetcher* previous_;
};

// While one lives, fetches made on this thread stop early, as failures, once the flag is set (a
// fetch in flight within about a second). Fetches on other threads are not affected.
class ScopedFetchCancel {
 public:
  explicit ScopedFetchCancel(const std::atomic<bool>& flag);
  ~ScopedFetchCancel();
  ScopedFetchCancel(const ScopedFetchCancel&) = delete;
  ScopedFetchCancel& operator=(const ScopedFetchCancel&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// True when this thread's fetches are to stop (the flag of its ScopedFetchCancel is set).
bool FetchCancelled();
// The flag of this thread's ScopedFetchCancel, or null (for HttpGet's cancel).
const std::atomic<bool>* CurrentFetchCancel();

}  // namespace quorvel
