#include "bridge/ScriptValue.h"

#include <cmath>
#include <limits>

namespace quorvel {
namespace {

constexpr double kMin = std::numeric_limits<int32_t>::min();
constexpr double kMax = std::numeric_limits<int32_t>::max();

std::optional<int32_t> FromDecimalText(const std::string& text) {
  std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 11) return std::nullopt;
  long long value = 0;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return std::nullopt;
    value = value * 10 + (text[k] - '0');
  }
  if (i == 1) value = -value;
  if (value < kMin || value > kMax) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

std::optional<int32_t> ScriptInt32(const ScriptValue& value) {
  switch (value.kind) {
    case ScriptValue::Kind::Number:
      if (!std::isfinite(value.number) || std::trunc(value.number) != value.number) return {};
      if (value.number < kMin || value.number > kMax) return {};
      return static_cast<int32_t>(value.number);
    case ScriptValue::Kind::String:
      return FromDecimalText(value.text);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ScriptText(const ScriptValue& value) {
  if (value.kind != ScriptValue::Kind::String) return std::nullopt;
  return value.text.substr(0, value.text.find('\0'));
}

}  // namespace quorvel
