#include "catalogue/RateLimiter.h"

#include <algorithm>

namespace quorvel::catalogue {

RateLimiter::RateLimiter(std::size_t maxCalls, Clock::duration window)
    : maxCalls_(std::max<std::size_t>(maxCalls, 1)), window_(window) {}

RateLimiter::Clock::duration RateLimiter::WaitBefore(Clock::time_point now) {
  while (!calls_.empty() && calls_.front() + window_ <= now) calls_.pop_front();
  Clock::duration wait = heldUntil_ > now ? heldUntil_ - now : Clock::duration::zero();
  if (calls_.size() >= maxCalls_) {
    // The oldest call that must leave the window before one more fits.
    const Clock::time_point freed = calls_[calls_.size() - maxCalls_] + window_;
    wait = std::max(wait, freed - now);
  }
  return wait;
}

void RateLimiter::Record(Clock::time_point now) {
  calls_.push_back(now);
}

void RateLimiter::HoldUntil(Clock::time_point until) {
  heldUntil_ = std::max(heldUntil_, until);
}

}  // namespace quorvel::catalogue
