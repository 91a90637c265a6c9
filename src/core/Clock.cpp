#include "core/Clock.h"

#include <ctime>
#include <utility>

namespace quorvel {
namespace {

std::function<int64_t()>& ClockSlot() {
  static std::function<int64_t()> clock;
  return clock;
}

}  // namespace

int64_t Now() {
  auto& clock = ClockSlot();
  return clock ? clock() : static_cast<int64_t>(std::time(nullptr));
}

ScopedClock::ScopedClock(std::function<int64_t()> clock)
    : previous_(std::exchange(ClockSlot(), std::move(clock))) {}

ScopedClock::~ScopedClock() {
  ClockSlot() = std::move(previous_);
}

}  // namespace quorvel
