#pragma once

#include <string>

namespace quorvel {

// A random (version 4) GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex; empty
// when the system gives no randomness.
std::string NewGuidString();

}  // namespace quorvel
