#include "lib/time/instant.h"

#include <sys/time.h>

#include <ctime>

#include "lib/time/calendar.h"

namespace kerf::time {

namespace {

constexpr std::uint64_t kSecondsPerDay = 86'400;
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

Instant Instant::from_filetime(std::uint64_t filetime) noexcept {
  Instant instant;
  instant.m_filetime = filetime;
  // Zero, and values negative as a signed number, are no time at all.
  if (filetime == 0 || static_cast<std::int64_t>(filetime) < 0) return instant;

  // Before 1970 this wraps to a large number, which is never 0.
  instant.m_unix_seconds = static_cast<std::int64_t>((filetime - kUnixEpochFiletime) / kTicksPerSecond);
  if (instant.m_unix_seconds == 0) return instant;

  const std::uint64_t whole_seconds = filetime / kTicksPerSecond;
  const std::uint64_t second_of_day = whole_seconds % kSecondsPerDay;
  const CivilDate date =
      civil_from_days_since_march_0000(whole_seconds / kSecondsPerDay + kDaysFromMarch0000To1601);
  // A FILETIME below 2^63 ends in the year 30828, well inside 16 bits.
  CalendarTime& calendar = instant.m_calendar;
  calendar.year = static_cast<std::uint16_t>(date.year);
  calendar.month = static_cast<std::uint8_t>(date.month);
  calendar.day = static_cast<std::uint8_t>(date.day);
  calendar.hour = static_cast<std::uint8_t>(second_of_day / 3600);
  calendar.minute = static_cast<std::uint8_t>(second_of_day / 60 % 60);
  calendar.second = static_cast<std::uint8_t>(second_of_day % 60);
  calendar.ticks = static_cast<std::uint32_t>(filetime % kTicksPerSecond);

  instant.m_valid = date.year >= kFirstPrintableYear &&
                    (date.year <= kLastPrintableYear || local_year_within_range(instant.m_unix_seconds));
  return instant;
}

Instant Instant::now() noexcept {
  timeval clock{};
  gettimeofday(&clock, nullptr);
  return from_filetime(static_cast<std::uint64_t>(clock.tv_sec) * kTicksPerSecond +
                       static_cast<std::uint64_t>(clock.tv_usec) * 10 + kUnixEpochFiletime);
}

}  // namespace kerf::time
