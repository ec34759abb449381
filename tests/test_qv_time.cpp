#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "lib/qv_time.h"
#include "lib/type_time.h"
#include "lib/unix_time_quad.h"

namespace {

using qv::kUnixEpochFiletime;
using qv::type_time;

constexpr std::uint64_t kOneSecond = 10'000'000;
constexpr std::uint64_t k1900 = 94'354'848'000'000'000;
constexpr std::uint64_t k2012Dec14 = 130'000'000'000'000'000;  // 23:06:40 UTC
constexpr std::uint64_t k3001 = 441'796'896'000'000'000;

// A time is shown only for UTC years 1900 to 3000, and never for the first
// second of 1970 (which means "not set").
TEST(TimeConversion, EveryKindAndTheValidityRule) {
  struct Case {
    std::int64_t value;
    type_time kind;
    std::uint64_t filetime;
    bool valid;
  };
  const auto ft = [](std::uint64_t filetime) { return static_cast<std::int64_t>(filetime); };
  const Case cases[] = {
      {0, type_time::filetime, 0, false},
      {ft(kUnixEpochFiletime + kOneSecond - 1), type_time::filetime, kUnixEpochFiletime + kOneSecond - 1, false},
      {ft(kUnixEpochFiletime + kOneSecond), type_time::filetime, kUnixEpochFiletime + kOneSecond, true},
      {ft(kUnixEpochFiletime - 1), type_time::filetime, kUnixEpochFiletime - 1, true},  // 1969 is a real time
      {ft(k1900), type_time::filetime, k1900, true},
      {ft(k1900 - 1), type_time::filetime, k1900 - 1, false},
      {ft(k3001 - kOneSecond), type_time::filetime, k3001 - kOneSecond, true},  // whatever the zone
      {13'000'000'000'000'000, type_time::chrome, k2012Dec14, true},
      {1'355'526'400'123'456, type_time::firefox3, 130'000'000'001'234'560, true},
      {-1, type_time::firefox3, kUnixEpochFiletime - 10, true},  // signed remainder
      {1'355'526'400, type_time::unix_time, k2012Dec14, true},
      {-86'400, type_time::unix_time, kUnixEpochFiletime - 86'400 * kOneSecond, false},  // not after 1970: unset
      {1'355'526'400'123, type_time::unix_millisec_time, 130'000'000'001'230'000, true},
      {999, type_time::unix_millisec_time, 0, false},  // under one second: not set
      {41'257, type_time::ole, 129'999'168'000'000'000, true},
      {634'911'232'000'000'000, type_time::csharp_time, k2012Dec14, true},
      {std::int64_t{1000} << 22, type_time::snowflake_time, 130'645'440'010'000'000, true},
      {4'294'967'295, type_time::safari_time, 169'177'480'950'000'000, true},
      {4'294'967'296, type_time::safari_time, 0, false},
      {0, type_time::hfs_plus_time, 95'616'288'000'000'000, true},
      {ft(k2012Dec14), type_time::dos_time, 0, false},  // no conversion
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << qv::type_time_name(c.kind) << " " << c.value);
    const qv::time t(c.value, c.kind);
    EXPECT_EQ(t.filetime(), c.filetime);
    EXPECT_EQ(t.is_valid(), c.valid);
  }
}

// Walks every day of the printable range and checks each against a plain
// day-by-day calendar count.
TEST(TimeBreakdown, EveryDayFrom1900To3000FollowsTheDayBefore) {
  constexpr std::uint64_t kOneDay = 86'400 * kOneSecond;
  const auto days_in_month = [](unsigned year, unsigned month) -> unsigned {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
  };
  unsigned year = 1900, month = 1, day = 1, weekday = 1;  // a Monday
  for (std::uint64_t filetime = k1900 + 12 * 3600 * kOneSecond; year <= 3000; filetime += kOneDay) {
    qv::time t;
    t.set_filetime(filetime);
    const auto& c = t.calendar();
    ASSERT_TRUE(c.year == year && c.month == month && c.day == day && c.day_of_week == weekday)
        << year << "-" << month << "-" << day << " got " << c.year << "-" << c.month << "-" << c.day;
    weekday = (weekday + 1) % 7;
    if (++day > days_in_month(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
}

TEST(UnixTimeQuad, FiletimesBecomeSecondsAndTimesBefore1970Zero) {
  const auto quad = qv::unix_time_quad::convert(0, kUnixEpochFiletime - 1, kUnixEpochFiletime + kOneSecond,
                                                k2012Dec14, type_time::filetime);
  EXPECT_EQ(quad.seconds, (std::array<std::uint64_t, 4>{0, 0, 1, 1'355'526'400}));
  EXPECT_EQ(quad.kind, type_time::unix_time);
  const auto copied = qv::unix_time_quad::convert(5, 6, 7, 8, type_time::unix_time);
  EXPECT_EQ(copied.seconds, (std::array<std::uint64_t, 4>{5, 6, 7, 8}));
}

}  // namespace
