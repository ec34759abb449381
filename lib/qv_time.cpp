#include "lib/qv_time.h"

#include <sys/time.h>

#include <ctime>

#include "lib/civil_date.h"

namespace qv {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsPerDay = 86'400;
constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * kSecondsPerDay;
constexpr std::uint64_t kFirstPrintableYear = 1900;
constexpr std::uint64_t kLastPrintableYear = 3000;

// Offset of the local time zone from UTC at this moment, in seconds. It goes
// through hours held in a float and back, which is exact for every zone in
// use (whole, half and quarter hours).
std::int64_t local_zone_offset_seconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
  if (localtime_r(&now, &local) == nullptr || gmtime_r(&now, &utc) == nullptr) return 0;
  const std::time_t local_as_seconds = std::mktime(&local);
  const std::time_t utc_as_seconds = std::mktime(&utc);
  const float hours = static_cast<float>(local_as_seconds - utc_as_seconds) / 3600.0f;
  return static_cast<std::int64_t>(hours * 3600.0f);
}

// Whether the instant, seen in the local time zone, still falls in the year
// 3000 or earlier. Reading the zone is slow, so this is asked only for UTC
// years after 3000, the one case where the answer can change validity.
bool local_year_within_range(std::int64_t unix_seconds) {
  const std::int64_t local_seconds = unix_seconds + local_zone_offset_seconds();
  if (local_seconds < 0) return true;
  const std::uint64_t days = static_cast<std::uint64_t>(local_seconds) / kSecondsPerDay;
  return civil_from_days_since_march_0000(days + kDaysFromMarch0000To1970).year <=
         kLastPrintableYear;
}

}  // namespace

time::time(std::int64_t value, type_time kind) {
  // All conversions wrap in 64 bits, so they are done on the unsigned value.
  const auto v = static_cast<std::uint64_t>(value);
  switch (kind) {
    case type_time::filetime:
      set_filetime(v);
      return;
    case type_time::chrome:
      set_filetime(v * 10);
      return;
    case type_time::firefox3: {
      const auto whole_seconds = static_cast<std::uint64_t>(value / 1'000'000);
      const auto micros = static_cast<std::uint64_t>(value % 1'000'000);
      set_filetime(whole_seconds * kTicksPerSecond + micros * 10 + kUnixEpochFiletime);
      return;
    }
    case type_time::unix_time:
      // File-time conversion reads the FILETIME even for times not after
      // 1970, so it is kept whatever the seconds are.
      m_filetime = v * kTicksPerSecond + kUnixEpochFiletime;
      if (value <= 0) return;
      m_unix_seconds = value;
      set_filetime(m_filetime);
      return;
    case type_time::unix_millisec_time: {
      const std::int64_t whole_seconds = value / 1000;
      const std::int64_t millis = value % 1000;
      if (whole_seconds == 0) return;
      m_unix_seconds = whole_seconds;
      std::uint64_t filetime =
          static_cast<std::uint64_t>(whole_seconds) * kTicksPerSecond + kUnixEpochFiletime;
      if (millis != 0) filetime += static_cast<std::uint64_t>(millis) * 10'000;
      set_filetime(filetime);
      return;
    }
    case type_time::ole:  // days since 1899-12-30
      set_filetime((v * kSecondsPerDay + 9'435'312'000) * kTicksPerSecond);
      return;
    case type_time::csharp_time:  // ticks since 0001-01-01
      set_filetime(v - 504'911'232'000'000'000);
      return;
    case type_time::snowflake_time:  // milliseconds since 2015-01-01 in the top 42 bits
      set_filetime(static_cast<std::uint64_t>(value >> 22) * 10'000 + 130'645'440'000'000'000);
      return;
    case type_time::safari_time:  // seconds since 2001-01-01
      if (value > 4'294'967'295) return;
      set_filetime((v + 12'622'780'800) * kTicksPerSecond);
      return;
    case type_time::hfs_plus_time:  // seconds since 1904-01-01
      set_filetime((v + 9'561'628'800) * kTicksPerSecond);
      return;
    default:
      return;
  }
}

bool time::set_filetime(std::uint64_t filetime) {
  m_valid = false;
  if (filetime == 0) return false;
  m_filetime = filetime;
  if (static_cast<std::int64_t>(filetime) < 0) return false;

  // Before 1970 this wraps to a large number; only the body file prints it.
  m_unix_seconds = static_cast<std::int64_t>((filetime - kUnixEpochFiletime) / kTicksPerSecond);
  // The first second of 1970 is what an unset Unix time becomes: not a time.
  if (m_unix_seconds == 0) return false;

  const std::uint64_t whole_seconds = filetime / kTicksPerSecond;
  const std::uint64_t ticks = filetime % kTicksPerSecond;
  const std::uint64_t second_of_day = whole_seconds % kSecondsPerDay;
  const civil_date date =
      civil_from_days_since_march_0000(whole_seconds / kSecondsPerDay + kDaysFromMarch0000To1601);

  // A FILETIME below 2^63 ends in the year 30828, well inside 16 bits.
  m_calendar.year = static_cast<std::uint16_t>(date.year);
  m_calendar.month = static_cast<std::uint16_t>(date.month);
  m_calendar.day = static_cast<std::uint16_t>(date.day);
  m_calendar.day_of_week = static_cast<std::uint16_t>((filetime / kTicksPerDay + 1) % 7);
  m_calendar.hour = static_cast<std::uint16_t>(second_of_day / 3600);
  m_calendar.minute = static_cast<std::uint16_t>(second_of_day / 60 % 60);
  m_calendar.second = static_cast<std::uint16_t>(second_of_day % 60);
  m_calendar.milliseconds = static_cast<std::uint16_t>(ticks / 10'000);
  m_microseconds = ticks / 10;
  m_nanoseconds = ticks * 100;
  m_picoseconds = ticks * 100'000;
  m_filetime_low = static_cast<std::uint32_t>(filetime);
  m_filetime_high = static_cast<std::uint32_t>(filetime >> 32);

  const std::uint64_t year = date.year;
  m_valid = year >= kFirstPrintableYear &&
            (year <= kLastPrintableYear || local_year_within_range(m_unix_seconds));
  return m_valid;
}

time time::now() {
  timeval clock{};
  gettimeofday(&clock, nullptr);
  time result;
  result.set_filetime(static_cast<std::uint64_t>(clock.tv_sec) * kTicksPerSecond +
                      static_cast<std::uint64_t>(clock.tv_usec) * 10 + kUnixEpochFiletime);
  return result;
}

std::uint64_t time::milliseconds(bool round) const noexcept {
  const std::uint64_t millis = m_calendar.milliseconds;
  return round && m_microseconds % 1000 >= 500 ? millis + 1 : millis;
}

std::uint64_t time::microseconds(bool round) const noexcept {
  return round && m_nanoseconds % 1000 >= 500 ? m_microseconds + 1 : m_microseconds;
}

}  // namespace qv
