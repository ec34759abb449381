#include "lib/time/instant.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using kerf::time::Instant;
using kerf::time::kUnixEpochFiletime;

constexpr std::uint64_t kOneSecond = 10'000'000;
constexpr std::uint64_t k1900 = 94'354'848'000'000'000;
constexpr std::uint64_t k3001 = 441'796'896'000'000'000;

// A time is shown only for UTC years 1900 to 3000, and never for the first
// second of 1970 (which means "not set").
TEST(Instant, ValidityRule) {
  struct Case {
    std::uint64_t filetime;
    bool valid;
  };
  const Case cases[] = {
      {0, false},
      {kUnixEpochFiletime + kOneSecond - 1, false},
      {kUnixEpochFiletime + kOneSecond, true},
      {kUnixEpochFiletime - 1, true},  // 1969 is a real time
      {k1900, true},
      {k1900 - 1, false},
      {k3001 - kOneSecond, true},  // whatever the zone
      {0x8000000000000000ull, false},
  };
  for (const auto& c : cases) {
    const Instant t = Instant::from_filetime(c.filetime);
    EXPECT_EQ(t.filetime(), c.filetime);
    EXPECT_EQ(t.is_valid(), c.valid) << c.filetime;
  }
  EXPECT_EQ(kerf::time::filetime_from_unix_seconds(1'355'526'400), 130'000'000'000'000'000ull);
  EXPECT_EQ(kerf::time::filetime_from_unix_seconds(-86'400), kUnixEpochFiletime - 86'400 * kOneSecond);
}

// Walks every day of the printable range and checks each against a plain
// day-by-day calendar count.
TEST(Instant, EveryDayFrom1900To3000FollowsTheDayBefore) {
  constexpr std::uint64_t kOneDay = 86'400 * kOneSecond;
  const auto days_in_month = [](unsigned year, unsigned month) -> unsigned {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
  };
  unsigned year = 1900, month = 1, day = 1;
  for (std::uint64_t filetime = k1900 + 12 * 3600 * kOneSecond + 1234567; year <= 3000; filetime += kOneDay) {
    const kerf::time::CalendarTime c = Instant::from_filetime(filetime).calendar();
    ASSERT_TRUE(c.year == year && c.month == month && c.day == day && c.hour == 12 && c.ticks == 1234567)
        << year << "-" << month << "-" << day << " got " << c.year << "-" << int{c.month} << "-" << int{c.day};
    if (++day > days_in_month(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
}

}  // namespace
