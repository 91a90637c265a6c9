#pragma once

#include <cstdint>
#include <functional>

namespace quorvel {

// Now as a 64-bit count of seconds since 1970-01-01 00:00:00 UTC; read afresh at every call.
int64_t Now();

// Replaces the clock for the lifetime of this object (tests).
class ScopedClock {
 public:
  explicit ScopedClock(std::function<int64_t()> clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::function<int64_t()> previous_;
};

}  // namespace quorvel
