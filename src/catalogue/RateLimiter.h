#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace quorvel::catalogue {

// At most maxCalls calls in any sliding window, plus a hold after the upstream asked us to back
// off. Pure bookkeeping over given times; the caller locks and sleeps.
class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  RateLimiter(std::size_t maxCalls, Clock::duration window);

  // How long from now until the next call may go; zero when it may go at once.
  Clock::duration WaitBefore(Clock::time_point now);
  // Counts a call made at now.
  void Record(Clock::time_point now);
  // No call before until (a 429's Retry-After).
  void HoldUntil(Clock::time_point until);

 private:
  std::size_t maxCalls_;
  Clock::duration window_;
  std::deque<Clock::time_point> calls_;
  Clock::time_point heldUntil_{};
};

}  // namespace quorvel::catalogue
