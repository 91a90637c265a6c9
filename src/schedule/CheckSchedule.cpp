#include "schedule/CheckSchedule.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace quorvel {

std::optional<int64_t> NextLocalMidnight(int64_t t) {
  // A zone file replaced under the running program (the user moved) is read again here.
  tzset();
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm today{};
  if (localtime_r(&value, &today) == nullptr) return std::nullopt;
  for (int days = 1; days <= 2; ++days) {
    std::tm next{};
    next.tm_year = today.tm_year;
    next.tm_mon = today.tm_mon;
    next.tm_mday = today.tm_mday + days;
    next.tm_isdst = -1;
    const std::time_t midnight = std::mktime(&next);
    if (midnight == static_cast<std::time_t>(-1)) return std::nullopt;
    // A midnight inside a skipped hour is normalised by mktime, forwards or back; a result that
    // is not after t belongs to the current day, so the day after is taken.
    if (midnight > value) return static_cast<int64_t>(midnight);
  }
  return std::nullopt;
}

CheckSchedule::CheckSchedule(int64_t wallNow, int64_t monotonicNow) {
  Rearm(wallNow, monotonicNow);
}

void CheckSchedule::Rearm(int64_t wallNow, int64_t monotonicNow) {
  nextMidnight_ = NextLocalMidnight(wallNow);
  fallbackAt_ = monotonicNow + kFallbackSeconds;
  lastWall_ = wallNow;
  lastMonotonic_ = monotonicNow;
}

std::optional<CheckReason> CheckSchedule::Look(int64_t wallNow, int64_t monotonicNow) {
  const int64_t drift = (wallNow - lastWall_) - (monotonicNow - lastMonotonic_);
  lastWall_ = wallNow;
  lastMonotonic_ = monotonicNow;
  if (std::llabs(drift) > kJumpSeconds) return CheckReason::ClockJump;
  if (nextMidnight_ && wallNow >= *nextMidnight_) return CheckReason::Midnight;
  // Midnight moved without a jump of the clock: the zone (or its rules) changed.
  if (NextLocalMidnight(wallNow) != nextMidnight_) return CheckReason::ZoneChange;
  if (monotonicNow >= fallbackAt_) return CheckReason::Fallback;
  return std::nullopt;
}

int64_t CheckSchedule::SecondsUntilNext(int64_t wallNow, int64_t monotonicNow) const {
  int64_t seconds = fallbackAt_ - monotonicNow;
  // A second past midnight: a series added a week before is then more than a week old.
  if (nextMidnight_) seconds = std::min(seconds, *nextMidnight_ + 1 - wallNow);
  return std::max<int64_t>(seconds, 1);
}

}  // namespace quorvel
