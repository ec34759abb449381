// One instant, kept as a Windows FILETIME with its UTC calendar breakdown.
//
// Every time stamp that kerf prints passes through qv::time: the decoder keeps
// raw FILETIMEs (100-ns ticks since 1601-01-01 UTC), the output layer builds a
// qv::time from each and hands it to the date/time formatters. Only values in
// the UTC years 1900 to 3000 are marked valid; everything else (0, negative,
// the first second of 1970 that stands for "not set") formats as empty text.
#pragma once

#include <cstdint>

#include "lib/type_time.h"

namespace qv {

// Broken-down UTC time in the field order of the Windows SYSTEMTIME structure.
struct _windows_systemtime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;        // 1..12
  std::uint16_t day_of_week = 0;  // 0 = Sunday .. 6 = Saturday
  std::uint16_t day = 0;          // 1..31
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;

  bool operator==(const _windows_systemtime&) const = default;
};

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr std::uint64_t kUnixEpochFiletime = 116444736000000000;

class time {
 public:
  // Empty: every field zero, not valid.
  time() = default;

  // Converts `value` of the given kind to a FILETIME and sets it. Kinds that
  // have no conversion (DOS, NTP, GUID, system time, VHD, QPC) and safari
  // times above 4294967295 leave the value empty. A unix time of 0 or below
  // keeps its converted FILETIME in filetime() but stays invalid.
  time(std::int64_t value, type_time kind);

  // Sets every field from a FILETIME and returns the new valid flag. A zero
  // FILETIME changes nothing else; one negative as a signed number only
  // updates filetime().
  bool set_filetime(std::uint64_t filetime);

  // The wall clock, to the microsecond.
  static time now();

  bool is_valid() const noexcept { return m_valid; }

  // Sub-second parts. With `round` set the value goes up by one when the
  // rest below it is at least half a unit; printed fractions never round.
  std::uint64_t milliseconds(bool round) const noexcept;
  std::uint64_t microseconds(bool round) const noexcept;

  // Whole seconds since 1970 ((filetime - epoch) / 10^7, unsigned arithmetic).
  std::int64_t unix_seconds() const noexcept { return m_unix_seconds; }
  std::uint64_t filetime() const noexcept { return m_filetime; }
  std::uint32_t filetime_low() const noexcept { return m_filetime_low; }
  std::uint32_t filetime_high() const noexcept { return m_filetime_high; }
  const _windows_systemtime& calendar() const noexcept { return m_calendar; }
  std::uint64_t nanoseconds() const noexcept { return m_nanoseconds; }  // 0..999999900
  std::uint64_t picoseconds() const noexcept { return m_picoseconds; }

 private:
  std::int64_t m_unix_seconds = 0;
  std::uint64_t m_filetime = 0;
  std::uint32_t m_filetime_low = 0;
  std::uint32_t m_filetime_high = 0;
  _windows_systemtime m_calendar;
  std::uint64_t m_microseconds = 0;
  std::uint64_t m_nanoseconds = 0;
  std::uint64_t m_picoseconds = 0;
  bool m_valid = false;
};

}  // namespace qv
