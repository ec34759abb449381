// Times: which FILETIMEs are shown, the calendar, the date and time patterns
// and the option that accepts them, and the JSON time text. How a file's
// times group into timeline events, and whole layouts: test_cli_layouts.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver/cli/options.h"
#include "lib/time/date_time_format.h"
#include "lib/time/instant.h"
#include "report/json_writer.h"

namespace {

using kerf::time::Instant;
using kerf::time::kUnixEpochFiletime;

constexpr std::uint64_t kOneSecond = 10'000'000;
constexpr std::uint64_t k1900 = 94'354'848'000'000'000;
constexpr std::uint64_t k3001 = 441'796'896'000'000'000;

// A time is shown only for UTC years 1900 to 3000, and never for the first
// second of 1970 (which means "not set"); the JSON layouts write all seven
// fraction digits of those, and null for the rest.
TEST(Instant, ValidityRuleAndJsonText) {
  struct Case {
    std::uint64_t filetime;
    bool valid;
    std::string json;
  };
  const Case cases[] = {
      {0, false, ""},
      {kUnixEpochFiletime + kOneSecond - 1, false, ""},
      {kUnixEpochFiletime + kOneSecond, true, "1970-01-01T00:00:01.0000000Z"},
      {kUnixEpochFiletime - 1, true, "1969-12-31T23:59:59.9999999Z"},  // 1969 is a real time
      {k1900, true, "1900-01-01T00:00:00.0000000Z"},
      {k1900 - 1, false, ""},
      {k3001 - 1, true, "3000-12-31T23:59:59.9999999Z"},
      // In every time zone, even where it is still 3000 (Instant then
      // takes it, the JSON layouts never).
      {k3001, true, ""},
      {130970237009851234ull, true, "2016-01-11T22:08:20.9851234Z"},
      {0x8000000000000000ull, false, ""},
  };
  for (const Case& c : cases) {
    const Instant t = Instant::from_filetime(c.filetime);
    EXPECT_EQ(t.filetime(), c.filetime);
    if (c.filetime != k3001) {
      EXPECT_EQ(t.is_valid(), c.valid) << c.filetime;
    }
    std::string json;
    kerf::append_json_time(json, c.filetime);
    EXPECT_EQ(json, c.json) << c.filetime;
    EXPECT_EQ(kerf::has_json_time(c.filetime), !c.json.empty()) << c.filetime;
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

// The default patterns and a time without its fraction: every layout's whole
// output.
TEST(FormatDateTime, Patterns) {
  // 2012-12-14 23:06:40.1234567 UTC
  const Instant sample = Instant::from_filetime(130'000'000'001'234'567);
  struct Case {
    const char* date_pattern;
    const char* time_pattern;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {"dd.mm.yyyy", "hh:mm:ss.xxxxxxxxx", "14/12/2012", "23:06:40.123456700"},  // no known separator: "/"
      {"mmm dd, yy", "hh:mm:ss.xxxxxxxxxx", "Dec 14, 12", "23:06:40"},  // more than 9 digits: no fraction
      {"dd mmm yyyy", "hh:mm:ss.xxx x", "14 Dec 2012", "23:06:40.12345"},  // digits run to the last "x"
      {"dd mmm, yyyy", "hh.mm.ss", "14 Dec 2012", ":40"},  // comma only after a day that follows the month
      {"mm-dd,-yyyy", "ss.xxx hh:mm", "12-14-2012", "23:06:40.123"},  // token order plays no part
      {"mm-yyyy", "hh:mm", "12/14/2012", "23:06"},  // no day token: month/day/year with "/"
      {"dd-mmm", "hh:mm:ss.xx", "Dec/14/2012", "23:06:40"},  // no year token; "xx" is not a fraction
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.date_pattern << " " << c.time_pattern);
    const kerf::time::DateTimeFormat format(c.date_pattern, c.time_pattern);
    std::string date, time;
    format.append_date(date, sample);
    format.append_time(time, sample);
    EXPECT_EQ(date, c.date);
    EXPECT_EQ(time, c.time);
  }
  std::string blank;  // no time: a lone blank, where the layouts show none
  kerf::time::DateTimeFormat("yyyy-mm-dd", "hh:mm").append_date_time(blank, 0);
  EXPECT_EQ(blank, " ");
  std::string january;  // the first month has its name too
  kerf::time::DateTimeFormat("dd mmm yyyy", "hh:mm").append_date(january, Instant::from_filetime(k1900));
  EXPECT_EQ(january, "01 Jan 1900");
}

// Records what a run writes to standard error.
struct CapturedMessages : kerf::io::MessageSink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

// A pattern is accepted only when it can give its dates and times in every
// layout; the default stays otherwise.
TEST(DateTimePatternOption, AcceptanceRule) {
  struct Case {
    bool is_date;
    const char* value;
    const char* stored;  // nullptr: refused
  };
  const Case cases[] = {
      {true, "YYYY-MM-DD", "yyyy-mm-dd"},
      {true, "mm.dd.yy", "mm.dd.yy"},
      {true, "m/d/yyyy", nullptr},     // no two-digit month or day
      {true, "abcdefgh", nullptr},     // no token at all
      {true, "yyyy-mm-dd ", nullptr},  // 11 characters
      {false, "hh:mm", nullptr},
      {false, "HH:MM:SS.XXXXXX", "hh:mm:ss.xxxxxx"},
      {false, "hh:mm:ss.xxxxxxxxx", "hh:mm:ss.xxxxxxxxx"},  // 18
      {false, "hh:mm:ss.xxxxxxxxxx", nullptr},              // 19
      {false, "hh.mm.ss", nullptr},                         // no hours and minutes
      {false, "hh:mm.xxxxxxx", nullptr},                    // no seconds: the fraction would stand for them
      {false, "hh:mm:xxxxxxx", nullptr},
      {false, "hh:mm:ss.xx ", nullptr},                     // a fraction of two digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    kerf::ArgList args({"kerf", c.is_date ? "-dateformat" : "-timeformat", c.value, "x.pf"});
    CapturedMessages messages;
    const auto settings = kerf::parse_command_line(args, messages);
    ASSERT_TRUE(settings);
    const std::string& pattern = c.is_date ? settings->report.date_pattern : settings->report.time_pattern;
    EXPECT_EQ(pattern, c.stored ? c.stored : c.is_date ? "yyyy-mm-dd" : "hh:mm:ss.xxx");
    EXPECT_EQ(messages.text, c.stored ? "" : "invalid " + std::string(c.value) + ", using default format\n");
  }
}

}  // namespace
