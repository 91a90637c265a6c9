#pragma once

#include <cstdint>
#include <optional>

namespace quorvel {

// The first moment of the next local calendar day after t: the local midnight that follows it,
// found from the calendar (so a day of 23, 23.5, 24.5 or 25 hours is no special case) with the
// zone rules read afresh. Where a zone skips midnight itself, the first moment that exists.
// Empty when the local time of t cannot be computed.
std::optional<int64_t> NextLocalMidnight(int64_t t);

// Why a running check came due.
enum class CheckReason { Midnight, ClockJump, ZoneChange, Fallback };

// When the running agent checks again: at the next local midnight, when the wall clock jumps
// against the monotonic one (a wake from suspend, the clock set by hand), when a change of zone
// moves the next midnight, and at the latest six hours after the last check. Pure: both clocks
// are passed in, in seconds.
class CheckSchedule {
 public:
  static constexpr int64_t kFallbackSeconds = 6 * 3600;
  // A wall clock that runs this much ahead of or behind the monotonic clock between two looks
  // has jumped; the looks come at least once a minute.
  static constexpr int64_t kJumpSeconds = 90;

  // Starts the schedule as if a check had just ended.
  CheckSchedule(int64_t wallNow, int64_t monotonicNow);

  // After every check: the next midnight and the fallback counted from now.
  void Rearm(int64_t wallNow, int64_t monotonicNow);
  // A look at the clocks (each tick, and when a timer set from SecondsUntilNext fires): the
  // reason a check is due now, or empty. Remembers the look, so one jump is reported once.
  std::optional<CheckReason> Look(int64_t wallNow, int64_t monotonicNow);
  // Monotonic seconds until just after the next midnight or until the fallback, whichever comes
  // first (at least 1), as seen from this moment.
  int64_t SecondsUntilNext(int64_t wallNow, int64_t monotonicNow) const;

  std::optional<int64_t> nextMidnight() const { return nextMidnight_; }

 private:
  std::optional<int64_t> nextMidnight_;
  int64_t fallbackAt_ = 0;  // monotonic
  int64_t lastWall_ = 0;
  int64_t lastMonotonic_ = 0;
};

}  // namespace quorvel
