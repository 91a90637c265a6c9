#pragma once

#include <utility>

namespace quorvel {

// The two places an exception stops. Below them nothing catches: what throws in this program is
// running out of memory, and the one thing to do then is to end the current command or callback
// at a known point, never in the middle of the main loop or of a C library.

// Runs one command (or one part of one that must not stop the rest); true when it ran to its end.
template <class Body>
bool RunGuarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    return false;  // the command ends here; what it already did stays done
  }
}

// For C callbacks that answer a value: the body's result, or fallback when it threw.
template <class Result, class Body>
Result NoThrow(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;  // an exception must not unwind through C frames
  }
}

}  // namespace quorvel
