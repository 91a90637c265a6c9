#pragma once

#include <gio/gio.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "core/Handles.h"
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

  // Starts the helper of the next download now, so that its loading of libcurl and the TLS
  // libraries overlaps the agent's own start (the start's update check waits for its download
  // before the icon). One that no download takes within kAheadUseMs is not used; it ends by
  // itself soon after.
  void StartAhead();
  static constexpr int kAheadUseMs = 1500;

 private:
  struct Helper {
    GObjectPtr<GSubprocess> process;
    // The agent's end of the helper's standard input and output; a helper whose end closes
    // before it was sent a request ends by itself.
    FileDescriptor fd;
    std::chrono::steady_clock::time_point started;
  };
  std::optional<Helper> Start(std::string* why) const;
  std::optional<Helper> TakeAhead();
  std::optional<Helper> TakeAheadOrStart(std::string* why);

  std::string program_;
  std::mutex mutex_;
  std::optional<Helper> ahead_;
};

}  // namespace quorvel
