#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvel {

// The local midnight that starts a "%d-%d-%d" date. Missing numbers keep 1970, 1, 1; text after the
// day is ignored. Empty when the year is before 1900, the month outside 1..12, the day outside
// 1..31, or the midnight lies outside 1970-01-01 00:00:00 UTC .. 3000-12-31 23:59:59 UTC.
std::optional<int64_t> ParseAirDate(const std::string& text);

// The local time value of year-month-day hour:00:00 (daylight saving decided by the zone), or empty
// outside the accepted range. Builds the bounds of the next and recent windows.
std::optional<int64_t> LocalTimeValue(int year, int month, int day, int hour);

// While one lives on this thread, LocalTimeValue converts each date once: the C library reads the
// zone file again at every conversion, and a view converts thousands of dates, most of them seen
// before. The zone counts as fixed while it lives, so keep it to one command.
class ScopedAirDateMemo {
 public:
  ScopedAirDateMemo();
  ~ScopedAirDateMemo();
  ScopedAirDateMemo(const ScopedAirDateMemo&) = delete;
  ScopedAirDateMemo& operator=(const ScopedAirDateMemo&) = delete;

  std::optional<int64_t> LocalTimeValue(int year, int month, int day, int hour);

 private:
  ScopedAirDateMemo* previous_;
  std::unordered_map<uint64_t, std::optional<int64_t>> values_;
};

// The local calendar date of t as "%Y-%m-%d", or empty when t cannot be converted.
std::string FormatLocalDate(int64_t t);

// Seconds in the windows the schedules compare with.
inline constexpr int64_t kOneDay = 86400;
inline constexpr int64_t kThreeDays = 259200;
inline constexpr int64_t kOneWeek = 604800;

}  // namespace quorvel
