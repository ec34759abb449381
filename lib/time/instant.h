// One instant, kept as a Windows FILETIME with its UTC calendar breakdown.
//
// Prefetch files and the record keep raw FILETIMEs (100-ns ticks since
// 1601-01-01 UTC); the report layer turns each into an Instant to print it.
// Only instants in the UTC years 1900 to 3000 are valid; everything else (0,
// negative, and the first second of 1970, which is what an unset Unix time
// becomes) is printed as empty text.
#pragma once

#include <cstdint>

namespace kerf::time {

inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// FILETIME of 1970-01-01 00:00:00 UTC.
inline constexpr std::uint64_t kUnixEpochFiletime = 116'444'736'000'000'000;

// The UTC calendar reading of an instant.
struct CalendarTime {
  std::uint16_t year = 0;
  std::uint8_t month = 0;  // 1..12
  std::uint8_t day = 0;    // 1..31
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t second = 0;
  std::uint32_t ticks = 0;  // 100-ns ticks within the second, 0..9999999
};

// File systems give whole Unix seconds; the record keeps FILETIMEs. The
// arithmetic wraps like the unsigned FILETIME it produces.
constexpr std::uint64_t filetime_from_unix_seconds(std::int64_t seconds) noexcept {
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond + kUnixEpochFiletime;
}

class Instant {
 public:
  // Not valid.
  Instant() = default;

  static Instant from_filetime(std::uint64_t filetime) noexcept;
  // The wall clock, to the microsecond.
  static Instant now() noexcept;

  bool is_valid() const noexcept { return m_valid; }
  std::uint64_t filetime() const noexcept { return m_filetime; }
  // Whole seconds since 1970 ((filetime - epoch) / 10^7, unsigned arithmetic).
  std::int64_t unix_seconds() const noexcept { return m_unix_seconds; }
  const CalendarTime& calendar() const noexcept { return m_calendar; }

 private:
  std::uint64_t m_filetime = 0;
  std::int64_t m_unix_seconds = 0;
  CalendarTime m_calendar;
  bool m_valid = false;
};

}  // namespace kerf::time
