#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <type_traits>

#include "lib/ntp_time.h"
#include "lib/qv_time.h"
#include "lib/type_time.h"
#include "lib/unix_time_quad.h"

namespace {

using qv::kUnixEpochFiletime;
using qv::type_time;

constexpr std::uint64_t kOneSecond = 10'000'000;
constexpr std::uint64_t k1900 = 94'354'848'000'000'000;
constexpr std::uint64_t k2012Dec14 = 130'000'000'000'000'000;  // 23:06:40 UTC

static_assert(std::is_trivially_copyable_v<qv::time>);

TEST(TimeValidity, OnlyUtcYears1900To3000OutsideTheFirstSecondOf1970) {
  struct Case {
    std::uint64_t filetime;
    bool valid;
  };
  const Case cases[] = {
      {0, false},
      {1, false},  // 1601
      {0x8000'0000'0000'0000, false},
      {0xFFFF'FFFF'FFFF'FFFF, false},
      {kUnixEpochFiletime, false},                   // 1970-01-01 00:00:00 means "not set"
      {kUnixEpochFiletime + kOneSecond - 1, false},  // still that first second
      {kUnixEpochFiletime + kOneSecond, true},
      {kUnixEpochFiletime - 1, true},  // 1969 is a real time
      {k1900, true},
      {k1900 - 1, false},
      {441'796'895'990'000'000, true},  // 3000-12-31 23:59:59, whatever the zone
  };
  for (const auto& c : cases) {
    qv::time t;
    EXPECT_EQ(t.set_filetime(c.filetime), c.valid) << c.filetime;
    EXPECT_EQ(t.is_valid(), c.valid) << c.filetime;
  }
}

TEST(TimeValidity, ZeroAndNegativeLeaveEverythingElseAlone) {
  qv::time t;
  ASSERT_TRUE(t.set_filetime(k2012Dec14));
  EXPECT_FALSE(t.set_filetime(0));
  EXPECT_EQ(t.filetime(), k2012Dec14);
  EXPECT_FALSE(t.set_filetime(0x8000'0000'0000'0001));
  EXPECT_EQ(t.filetime(), 0x8000'0000'0000'0001u);
  EXPECT_EQ(t.calendar().year, 2012);

  const qv::time empty;
  EXPECT_FALSE(empty.is_valid());
  EXPECT_EQ(empty.filetime(), 0u);
  EXPECT_EQ(empty.unix_seconds(), 0);
  EXPECT_EQ(empty.calendar(), qv::_windows_systemtime{});
}

TEST(TimeBreakdown, CalendarFieldsAndDayOfWeek) {
  struct Case {
    std::uint64_t filetime;
    qv::_windows_systemtime calendar;  // year, month, day of week, day, h, m, s, ms
  };
  const Case cases[] = {
      {kUnixEpochFiletime + kOneSecond, {1970, 1, 4, 1, 0, 0, 1, 0}},
      {k1900, {1900, 1, 1, 1, 0, 0, 0, 0}},
      {94'405'824'000'000'000, {1900, 3, 4, 1, 0, 0, 0, 0}},  // 1900 has no Feb 29
      {116'444'735'990'000'000, {1969, 12, 3, 31, 23, 59, 59, 0}},
      {125'963'012'960'000'000, {2000, 2, 2, 29, 12, 34, 56, 0}},
      {157'520'159'990'000'000, {2100, 2, 0, 28, 23, 59, 59, 0}},
      {157'520'159'990'000'000 + kOneSecond, {2100, 3, 1, 1, 0, 0, 0, 0}},  // 2100: no leap day
      {k2012Dec14 + 1, {2012, 12, 5, 14, 23, 6, 40, 0}},
      {k2012Dec14 + 9'999'999, {2012, 12, 5, 14, 23, 6, 40, 999}},
      {441'796'895'990'000'000, {3000, 12, 3, 31, 23, 59, 59, 0}},
      {1, {1601, 1, 1, 1, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    qv::time t;
    t.set_filetime(c.filetime);
    EXPECT_EQ(t.calendar(), c.calendar) << c.filetime;
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
        << year << "-" << month << "-" << day << " got " << c.year << "-" << c.month << "-" << c.day
        << " weekday " << c.day_of_week;
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

TEST(TimeBreakdown, SubSecondFieldsAreTruncatedNeverCarried) {
  struct Case {
    std::uint64_t ticks;
    std::uint64_t millis, micros, nanos, picos;
  };
  const Case cases[] = {
      {1, 0, 0, 100, 100'000},
      {1'234'567, 123, 123'456, 123'456'700, 123'456'700'000},
      {9'999'999, 999, 999'999, 999'999'900, 999'999'900'000},
  };
  for (const auto& c : cases) {
    qv::time t;
    ASSERT_TRUE(t.set_filetime(k2012Dec14 + c.ticks));
    EXPECT_EQ(t.milliseconds(false), c.millis);
    EXPECT_EQ(t.microseconds(false), c.micros);
    EXPECT_EQ(t.nanoseconds(), c.nanos);
    EXPECT_EQ(t.picoseconds(), c.picos);
    EXPECT_EQ(t.calendar().second, 40);
  }
}

TEST(TimeBreakdown, UnixSecondsAndFiletimeHalves) {
  qv::time t;
  ASSERT_TRUE(t.set_filetime(k2012Dec14 + 1));
  EXPECT_EQ(t.unix_seconds(), 1'355'526'400);
  EXPECT_EQ(t.filetime_low(), 0xACCD'0001u);
  EXPECT_EQ(t.filetime_high(), 0x01CD'DA4Fu);
}

TEST(TimeRounding, RoundsUpFromHalfOnlyWhenAsked) {
  struct Case {
    std::uint64_t ticks;
    std::uint64_t millis_rounded, micros_rounded;
  };
  const Case cases[] = {
      {1'234'567, 123, 123'457},  // 456 us left: down; 700 ns left: up
      {1'235'004, 124, 123'500},  // 500 us left: up; 400 ns left: down
      {1'234'995, 123, 123'500},  // 499 us left: down; 500 ns left: up
  };
  for (const auto& c : cases) {
    qv::time t;
    ASSERT_TRUE(t.set_filetime(k2012Dec14 + c.ticks));
    EXPECT_EQ(t.milliseconds(true), c.millis_rounded) << c.ticks;
    EXPECT_EQ(t.microseconds(true), c.micros_rounded) << c.ticks;
    EXPECT_EQ(t.milliseconds(false), c.ticks / 10'000);
  }
}

// Past the year 3000 validity depends on the local zone, so these cases pin
// the zone through TZ and put it back afterwards.
class TimeZoneBoundary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* zone = std::getenv("TZ")) saved_ = zone;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void use_zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(TimeZoneBoundary, FirstHoursOf3001StayValidOnlyWhereLocalTimeIsStill3000) {
  constexpr std::uint64_t k3001 = 441'796'896'000'000'000;
  constexpr std::uint64_t kHour = 3600 * kOneSecond;
  struct Case {
    const char* zone;
    std::uint64_t filetime;
    bool valid;
  };
  const Case cases[] = {
      {"UTC0", k3001 - kOneSecond, true},
      {"UTC0", k3001, false},
      {"EST5", k3001 + 5 * kHour - kOneSecond, true},  // 3000-12-31 23:59:59 local
      {"EST5", k3001 + 5 * kHour, false},
      {"ABC-5", k3001 - kHour, true},  // already 3001 locally, but UTC decides first
      {"ABC-5", k3001, false},
  };
  for (const auto& c : cases) {
    use_zone(c.zone);
    qv::time t;
    EXPECT_EQ(t.set_filetime(c.filetime), c.valid) << c.zone << " " << c.filetime;
    EXPECT_GE(t.calendar().year, 3000);
  }
}

TEST(TimeConversion, EveryConstructibleKind) {
  struct Case {
    std::int64_t value;
    type_time kind;
    std::uint64_t filetime;
    bool valid;
  };
  const Case cases[] = {
      {static_cast<std::int64_t>(k2012Dec14), type_time::filetime, k2012Dec14, true},
      {0, type_time::filetime, 0, false},
      {13'000'000'000'000'000, type_time::chrome, k2012Dec14, true},
      {1'355'526'400'123'456, type_time::firefox3, 130'000'000'001'234'560, true},
      {-1, type_time::firefox3, kUnixEpochFiletime - 10, true},  // signed remainder
      {1'355'526'400, type_time::unix_time, k2012Dec14, true},
      {1'355'526'400'123, type_time::unix_millisec_time, 130'000'000'001'230'000, true},
      {999, type_time::unix_millisec_time, 0, false},  // under one second: not set
      {41'257, type_time::ole, 129'999'168'000'000'000, true},
      {634'911'232'000'000'000, type_time::csharp_time, k2012Dec14, true},
      {std::int64_t{1000} << 22, type_time::snowflake_time, 130'645'440'010'000'000, true},
      {0, type_time::safari_time, 126'227'808'000'000'000, true},
      {4'294'967'295, type_time::safari_time, 169'177'480'950'000'000, true},
      {4'294'967'296, type_time::safari_time, 0, false},
      {0, type_time::hfs_plus_time, 95'616'288'000'000'000, true},
  };
  for (const auto& c : cases) {
    const qv::time t(c.value, c.kind);
    EXPECT_EQ(t.filetime(), c.filetime) << qv::type_time_name(c.kind) << " " << c.value;
    EXPECT_EQ(t.is_valid(), c.valid) << qv::type_time_name(c.kind) << " " << c.value;
  }
}

TEST(TimeConversion, UnixTimeNotAfter1970KeepsItsFiletimeButStaysEmpty) {
  struct Case {
    std::int64_t seconds;
    std::uint64_t filetime;
  };
  const Case cases[] = {
      {0, kUnixEpochFiletime},
      {-86'400, kUnixEpochFiletime - 86'400 * kOneSecond},
  };
  for (const auto& c : cases) {
    const qv::time t(c.seconds, type_time::unix_time);
    EXPECT_FALSE(t.is_valid());
    EXPECT_EQ(t.filetime(), c.filetime);
    EXPECT_EQ(t.unix_seconds(), 0);
    EXPECT_EQ(t.calendar().year, 0);
  }
}

TEST(TimeConversion, KindsWithoutAConversionGiveAnEmptyValue) {
  const type_time kinds[] = {type_time::dos_time,
                             type_time::ntp,
                             type_time::guid,
                             type_time::system_time,
                             type_time::system_time_local,
                             type_time::vhd_time,
                             type_time::qpc_time,
                             static_cast<type_time>(3)};
  for (const type_time kind : kinds) {
    const qv::time t(static_cast<std::int64_t>(k2012Dec14), kind);
    EXPECT_FALSE(t.is_valid());
    EXPECT_EQ(t.filetime(), 0u);
    EXPECT_EQ(t.unix_seconds(), 0);
  }
}

TEST(TimeNow, ReadsTheWallClock) {
  const std::time_t before = std::time(nullptr);
  const qv::time now = qv::time::now();
  const std::time_t after = std::time(nullptr);
  EXPECT_TRUE(now.is_valid());
  EXPECT_GE(now.unix_seconds(), before);
  EXPECT_LE(now.unix_seconds(), after);
}

TEST(UnixTimeQuad, FiletimesBecomeSecondsAndUnknownTimesZero) {
  const auto quad = qv::unix_time_quad::convert(
      0, kUnixEpochFiletime, kUnixEpochFiletime + kOneSecond, k2012Dec14, type_time::filetime);
  EXPECT_EQ(quad.seconds, (std::array<std::uint64_t, 4>{0, 0, 1, 1'355'526'400}));
  EXPECT_EQ(quad.kind, type_time::unix_time);

  // Before 1970 and negative values have no Unix seconds to show.
  const auto before_1970 =
      qv::unix_time_quad::convert(kUnixEpochFiletime - 1, k1900, 0x8000'0000'0000'0000,
                                  0xFFFF'FFFF'FFFF'FFFF, type_time::filetime);
  EXPECT_EQ(before_1970.seconds, (std::array<std::uint64_t, 4>{0, 0, 0, 0}));
}

TEST(UnixTimeQuad, OtherKindsAndTheStoringForm) {
  const auto copied = qv::unix_time_quad::convert(5, 6, 7, 8, type_time::unix_time);
  EXPECT_EQ(copied.seconds, (std::array<std::uint64_t, 4>{5, 6, 7, 8}));
  const auto unknown = qv::unix_time_quad::convert(5, 6, 7, 8, type_time::chrome);
  EXPECT_EQ(unknown.seconds, (std::array<std::uint64_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(unknown.kind, type_time::unix_time);

  const auto stored = qv::unix_time_quad::store(k2012Dec14, 2, 3, 4, type_time::filetime);
  EXPECT_EQ(stored.seconds, (std::array<std::uint64_t, 4>{k2012Dec14, 2, 3, 4}));
  EXPECT_EQ(stored.kind, type_time::filetime);
}

TEST(NtpTime, StampLiesInMemoryAsBigEndianSecondsThenFraction) {
  const std::uint64_t stamp = qv::make_ntp_stamp(0x0102'0304, 0x8000'0000);
  std::array<unsigned char, 8> bytes{};
  std::memcpy(bytes.data(), &stamp, bytes.size());
  EXPECT_EQ(bytes, (std::array<unsigned char, 8>{1, 2, 3, 4, 0x80, 0, 0, 0}));
}

TEST(NtpTime, SecondsBetweenIsAbsoluteAndCountsFractions) {
  const std::uint64_t earlier = qv::make_ntp_stamp(98, 0);
  const std::uint64_t later = qv::make_ntp_stamp(100, 0x8000'0000);
  EXPECT_DOUBLE_EQ(qv::ntp_seconds_between(later, earlier), 2.5);
  EXPECT_DOUBLE_EQ(qv::ntp_seconds_between(earlier, later), 2.5);
  EXPECT_DOUBLE_EQ(qv::ntp_seconds_between(later, later), 0.0);
}

TEST(NtpTime, NowCountsWholeSecondsFrom1900) {
  constexpr std::uint64_t kSeconds1900To1970 = 2'208'988'800;
  const auto before = static_cast<std::uint64_t>(std::time(nullptr));
  const std::uint64_t now = qv::ntp_now();
  const auto after = static_cast<std::uint64_t>(std::time(nullptr));
  std::array<unsigned char, 8> bytes{};
  std::memcpy(bytes.data(), &now, bytes.size());
  const std::uint32_t seconds = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                                std::uint32_t{bytes[2]} << 8 | bytes[3];
  EXPECT_GE(seconds, static_cast<std::uint32_t>(before + kSeconds1900To1970));
  EXPECT_LE(seconds, static_cast<std::uint32_t>(after + kSeconds1900To1970));
  EXPECT_EQ(bytes[4] | bytes[5] | bytes[6] | bytes[7], 0);
}

}  // namespace
