#include "core/AirDate.h"

#include <cctype>
#include <climits>
#include <ctime>
#include <utility>

namespace quorvel {
namespace {

constexpr int64_t kLastAcceptedTime = 32535215999;  // 3000-12-31 23:59:59 UTC

// One "%d" of scanf: blanks, an optional sign, at least one digit. Saturates instead of
// overflowing.
bool ScanInt(const char*& p, int& out) {
  const char* s = p;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = (*s++ == '-');
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  long long value = 0;
  while (std::isdigit(static_cast<unsigned char>(*s))) {
    if (value < INT_MAX) value = value * 10 + (*s - '0');
    ++s;
  }
  if (value > INT_MAX) value = INT_MAX;
  out = static_cast<int>(negative ? -value : value);
  p = s;
  return true;
}

thread_local ScopedAirDateMemo* t_memo = nullptr;

std::optional<int64_t> ConvertLocalTime(int year, int month, int day, int hour) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_isdst = -1;
  const int64_t value = static_cast<int64_t>(std::mktime(&tm));
  if (value < 0 || value > kLastAcceptedTime) return std::nullopt;
  return value;
}

}  // namespace

ScopedAirDateMemo::ScopedAirDateMemo() : previous_(std::exchange(t_memo, this)) {}

ScopedAirDateMemo::~ScopedAirDateMemo() {
  t_memo = previous_;
}

std::optional<int64_t> ScopedAirDateMemo::LocalTimeValue(int year, int month, int day, int hour) {
  // Month, day and hour beyond a byte are never asked for by a parsed date; convert them directly.
  const auto byte = [](int v) { return v >= 0 && v < 256; };
  if (!byte(month) || !byte(day) || !byte(hour)) return ConvertLocalTime(year, month, day, hour);
  const uint64_t key = uint64_t{static_cast<uint32_t>(year)} << 24 |
                       uint64_t{static_cast<uint32_t>(month)} << 16 |
                       uint64_t{static_cast<uint32_t>(day)} << 8 | static_cast<uint32_t>(hour);
  const auto found = values_.find(key);
  if (found != values_.end()) return found->second;
  const std::optional<int64_t> value = ConvertLocalTime(year, month, day, hour);
  values_.emplace(key, value);
  return value;
}

std::optional<int64_t> LocalTimeValue(int year, int month, int day, int hour) {
  return t_memo ? t_memo->LocalTimeValue(year, month, day, hour)
                : ConvertLocalTime(year, month, day, hour);
}

std::optional<int64_t> ParseAirDate(const std::string& text) {
  int year = 1970, month = 1, day = 1;
  const char* p = text.c_str();
  if (ScanInt(p, year) && *p == '-' && ScanInt(++p, month) && *p == '-') ScanInt(++p, day);
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  return LocalTimeValue(year, month, day, 0);
}

std::string FormatLocalDate(int64_t t) {
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&value, &tm) == nullptr) return {};
  char buffer[128];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &tm);
  return std::string(buffer, n);
}

}  // namespace quorvel
