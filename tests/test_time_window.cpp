// Reading the bounds of the modification-time window.
#include "lib/time_window.h"

#include <gtest/gtest.h>

namespace {

using qv::time_bound_end;
using qv::time_bound_status;

TEST(TimeBound, Table) {
  struct Case {
    const char* value;
    time_bound_end end;
    time_bound_status status;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  };
  constexpr auto start = time_bound_end::start;
  constexpr auto stop = time_bound_end::stop;
  constexpr auto ok = time_bound_status::ok;
  constexpr auto invalid = time_bound_status::invalid;
  constexpr auto malformed = time_bound_status::malformed;
  const Case cases[] = {
      {"2024/03/17", start, ok, 2024, 3, 17, 0, 0, 0},
      {"2024/03/17", stop, ok, 2024, 3, 17, 23, 59, 59},
      {"2024-3-7 8:05", stop, ok, 2024, 3, 7, 8, 5, 0},
      {"2024/03/17 23:59:59", start, ok, 2024, 3, 17, 23, 59, 59},
      {"2024/03/17 ", stop, ok, 2024, 3, 17, 23, 59, 59},
      {"2024/03/17  10:00 ", start, ok, 2024, 3, 17, 10, 0, 0},
      {"2000/02/29", start, ok, 2000, 2, 29, 0, 0, 0},
      {"1900/01/01", start, ok, 1900, 1, 1, 0, 0, 0},
      {"3000/12/31", stop, ok, 3000, 12, 31, 23, 59, 59},
      {"2024/13/01", start, invalid},
      {"2024/00/01", start, invalid},
      {"2023/02/29", start, invalid},
      {"1900/02/29", start, invalid},
      {"2024/04/31", start, invalid},
      {"2024/01/00", start, invalid},
      {"2024/01/01 24:00", start, invalid},
      {"2024/01/01 10:60", start, invalid},
      {"2024/01/01 10:00:60", start, invalid},
      {"2024/01/01 10", start, invalid},
      {"2024/01/01 10:00:00:00", start, invalid},
      {"2024/01/01 ten:00", start, invalid},
      {"1899/12/31", stop, invalid},  // before the first printable year
      {"1601/01/01", start, invalid},
      {"0000/01/01", start, invalid},
      {"3001/01/01", start, invalid},
      {"1970/01/01 00:00:00", start, invalid},  // the instant that stands for "not set"
      {"2024/01", start, invalid},
      {"2024/01/01/01", start, invalid},
      {"2024/1a/01", start, invalid},
      {"2024/03-17", start, invalid},  // "/" separates, so "03-17" is no month
      {"/", start, invalid},
      {"20240317", start, malformed},
      {"", stop, malformed},
      {" 2024/03/17", start, malformed},  // the date part is empty
      {"17.03.2024 10:00", start, malformed},
  };
  for (const Case& c : cases) {
    qv::time bound;
    bound.set_filetime(1);  // a marker that a failed parse must leave alone
    ASSERT_EQ(qv::parse_time_bound(c.value, c.end, bound), c.status) << c.value;
    if (c.status != ok) {
      EXPECT_EQ(bound.filetime(), 1u) << c.value;
      continue;
    }
    ASSERT_TRUE(bound.is_valid()) << c.value;
    const qv::_windows_systemtime& t = bound.calendar();
    EXPECT_EQ(t.year, c.year) << c.value;
    EXPECT_EQ(t.month, c.month) << c.value;
    EXPECT_EQ(t.day, c.day) << c.value;
    EXPECT_EQ(t.hour, c.hour) << c.value;
    EXPECT_EQ(t.minute, c.minute) << c.value;
    EXPECT_EQ(t.second, c.second) << c.value;
    EXPECT_EQ(t.milliseconds, 0) << c.value;
  }
}

}  // namespace
