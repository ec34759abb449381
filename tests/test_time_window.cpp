// Reading the bounds of the modification-time window.
#include "driver/time_bound.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using time_bound_status = kerf::TimeBoundStatus;

TEST(TimeBound, Table) {
  constexpr auto start = kerf::TimeBoundEnd::start;
  constexpr auto stop = kerf::TimeBoundEnd::stop;
  constexpr auto invalid = time_bound_status::invalid;
  constexpr auto malformed = time_bound_status::malformed;
  struct Case {
    const char* value;
    kerf::TimeBoundEnd end;
    time_bound_status status;
    const char* when = "";  // the bound read, for an accepted value
  };
  const Case cases[] = {
      {"2024/03/17", start, time_bound_status::ok, "2024-03-17 00:00:00.000"},
      {"2024/03/17", stop, time_bound_status::ok, "2024-03-17 23:59:59.000"},
      {"2024-3-7 8:05", stop, time_bound_status::ok, "2024-03-07 08:05:00.000"},
      {"2024/03/17  10:00 ", start, time_bound_status::ok, "2024-03-17 10:00:00.000"},
      {"2000/02/29", start, time_bound_status::ok, "2000-02-29 00:00:00.000"},
      {"1900/01/01", start, time_bound_status::ok, "1900-01-01 00:00:00.000"},
      {"3000/12/31", stop, time_bound_status::ok, "3000-12-31 23:59:59.000"},
      {"2024/13/01", start, invalid},
      {"2023/02/29", start, invalid},
      {"1900/02/29", start, invalid},
      {"2024/04/31", start, invalid},
      {"2024/01/00", start, invalid},
      {"2024/01/01 24:00", start, invalid},
      {"2024/01/01 10:60", start, invalid},
      {"2024/01/01 10:00:60", start, invalid},
      {"2024/01/01 10", start, invalid},
      {"2024/01/01 10:00:00:00", start, invalid},
      {"1899/12/31", stop, invalid},  // before the first printable year
      {"3001/01/01", start, invalid},
      {"1970/01/01 00:00:00", start, invalid},  // the instant that stands for "not set"
      {"2024/01", start, invalid},
      {"2024/1a/01", start, invalid},
      {"2024/03-17", start, invalid},  // "/" separates, so "03-17" is no month
      {"20240317", start, malformed},
      {"", stop, malformed},
      {" 2024/03/17", start, malformed},  // the date part is empty
  };
  for (const Case& c : cases) {
    // A marker that a failed parse must leave alone.
    kerf::time::Instant bound = kerf::time::Instant::from_filetime(1);
    ASSERT_EQ(kerf::parse_time_bound(c.value, c.end, bound), c.status) << c.value;
    if (c.status != time_bound_status::ok) {
      EXPECT_EQ(bound.filetime(), 1u) << c.value;
      continue;
    }
    const kerf::time::CalendarTime& t = bound.calendar();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, static_cast<int>(t.ticks / 10000));
    EXPECT_EQ(std::string(text), c.when) << c.value;
  }
}

}  // namespace
