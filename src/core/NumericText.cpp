#include "core/NumericText.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace quorvel {

int32_t TextToInt(const std::string& text) {
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string IntToText(int32_t value) {
  return std::to_string(value);
}

bool IsSeriesId(const std::string& id) {
  if (id.empty() || id.size() > 10) return false;
  for (char c : id) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace quorvel
