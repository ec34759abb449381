// Proleptic Gregorian calendar dates from day counts and back, in closed form.
//
// Every printed time stamp is broken down through this, so it uses the
// era/day-of-era arithmetic (no loops over years or months). Days are counted
// from 0000-03-01, which puts the leap day at the end of each counted year and
// keeps everything non-negative for the years a FILETIME can reach.
#pragma once

#include <cstdint>

namespace kerf::time {

struct CivilDate {
  std::uint64_t year = 0;
  unsigned month = 0;  // 1..12
  unsigned day = 0;    // 1..31
};

inline constexpr std::uint64_t kDaysFromMarch0000To1601 = 584694;  // to 1601-01-01
inline constexpr std::uint64_t kDaysFromMarch0000To1970 = 719468;  // to 1970-01-01

constexpr CivilDate civil_from_days_since_march_0000(std::uint64_t days) noexcept {
  constexpr std::uint64_t kDaysPerEra = 146097;  // 400 Gregorian years
  const std::uint64_t era = days / kDaysPerEra;
  const std::uint64_t day_of_era = days - era * kDaysPerEra;
  const std::uint64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::uint64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::uint64_t month_from_march = (5 * day_of_year + 2) / 153;  // 0 = March
  CivilDate date;
  date.day = static_cast<unsigned>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
  date.month =
      static_cast<unsigned>(month_from_march < 10 ? month_from_march + 3 : month_from_march - 9);
  date.year = year_of_era + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

// Days from 1970-01-01 to the given proleptic Gregorian date (negative
// before 1970), in closed form.
constexpr std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146'097 + static_cast<std::int64_t>(day_of_era) -
         static_cast<std::int64_t>(kDaysFromMarch0000To1970);
}

constexpr bool is_leap_year(std::uint64_t year) noexcept {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr unsigned days_in_month(std::uint64_t year, unsigned month) noexcept {
  constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

static_assert(days_from_civil(1970, 1, 1) == 0);
static_assert(days_from_civil(2000, 3, 1) == 11'017);
static_assert(days_from_civil(1601, 1, 1) == -134'774);

}  // namespace kerf::time
