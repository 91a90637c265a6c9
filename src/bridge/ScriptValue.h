#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// One argument of a window.external call as the script side delivers it.
struct ScriptValue {
  enum class Kind { Undefined, Null, Boolean, Number, String, BodyElement, Object };
  Kind kind = Kind::Undefined;
  double number = 0;     // Number
  bool boolean = false;  // Boolean
  std::string text;      // String

  static ScriptValue Of(double n) { return {Kind::Number, n, false, {}}; }
  static ScriptValue Of(int n) { return Of(static_cast<double>(n)); }
  static ScriptValue Of(const std::string& s) { return {Kind::String, 0, false, s}; }
  static ScriptValue Of(const char* s) { return Of(std::string(s)); }
  static ScriptValue Body() { return OfKind(Kind::BodyElement); }
  static ScriptValue OfKind(Kind kind) { return {kind, 0, false, {}}; }
};

// A whole number within 32 bits, or a text of decimal digits with an optional minus sign whose
// value fits 32 bits. Anything else (fractions, NaN, out of range, objects, null) is empty.
std::optional<int32_t> ScriptInt32(const ScriptValue& value);
// A string, cut at its first NUL. Anything else is empty.
std::optional<std::string> ScriptText(const ScriptValue& value);

}  // namespace quorvel
