#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// Numeric text as the stored files hold it: leading blanks, an optional sign, decimal digits up to
// the first other character; no digits gives 0. Values beyond 32 bits saturate, as a 32-bit strtol.
int32_t TextToInt(const std::string& text);

// Integers travel as text in "%d" form.
std::string IntToText(int32_t value);

// True for 1 to 10 decimal digits and nothing else: the only ids that may become a file name or a
// URL path segment.
bool IsSeriesId(const std::string& id);

}  // namespace quorvel
