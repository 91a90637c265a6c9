#pragma once

#include <utility>

namespace quorvel {

// Where an exception stops. Below these nothing catches: what throws in this program is running
// out of memory, and the one thing to do then is to end the current command or callback at a
// known point, never in the middle of the main loop or of a C library.

// For C callbacks that answer a value (and readers that promise never to fail): the body's
// result, or fallback when it threw.
template <class Result, class Body>
Result NoThrow(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;  // the one catch-all: nothing may unwind through C frames or the main loop
  }
}

// For C callbacks that answer nothing: the body runs, or stops where it threw.
template <class Body>
void NoThrow(Body&& body) noexcept {
  NoThrow(false, [&] {
    std::forward<Body>(body)();
    return true;
  });
}

// The guard of one command (or of a part of one that must not stop the rest): true when the
// body ran to its end; what it already did stays done.
template <class Body>
bool RunGuarded(Body&& body) noexcept {
  return NoThrow(false, [&] {
    std::forward<Body>(body)();
    return true;
  });
}

}  // namespace quorvel
