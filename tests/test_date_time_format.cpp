#include <gtest/gtest.h>

#include <string>

#include "driver/options.h"
#include "lib/time/date_time_format.h"

namespace {

using kerf::time::DateTimeFormat;
using kerf::time::DelimitedDateTimeFormat;

// 2012-12-14 23:06:40.1234567 UTC
const kerf::time::Instant kSample = kerf::time::Instant::from_filetime(130'000'000'001'234'567);

struct Texts {
  std::string date = "stale";
  std::string time = "stale";
};

TEST(FormatDateTime, Patterns) {
  struct Case {
    const char* date_pattern;
    const char* time_pattern;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {"yyyy-mm-dd", "hh:mm:ss.xxx", "2012-12-14", "23:06:40.123"},
      {"dd.mm.yyyy", "hh:mm:ss.xxxxxxxxx", "14/12/2012", "23:06:40.123456700"},  // no known separator: "/"
      {"mmm dd, yy", "hh:mm:ss.xxxxxxxxxx", "Dec 14, 12", "23:06:40"},  // more than 9 digits: no fraction
      {"dd mmm yyyy", "hh:mm:ss.xxx x", "14 Dec 2012", "23:06:40.12345"},  // digits run to the last "x"
      {"dd mmm, yyyy", "hh.mm.ss", "14 Dec 2012", ":40"},  // comma only after a day that follows the month
      {"mm-dd,-yyyy", "ss.xxx hh:mm", "12-14-2012", "23:06:40.123"},  // token order plays no part
      {"mm-yyyy", "hh:mm", "12/14/2012", "23:06"},  // no day token: month/day/year with "/"
      {"dd-mmm", "hh:mm:ss.xx", "Dec/14/2012", "23:06:40"},  // no year token; "xx" is not a fraction
      {"", "hh:mm:ss", "", "23:06:40"},
      {"yyyy-mm-dd", "", "2012-12-14", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.date_pattern << " " << c.time_pattern);
    const DateTimeFormat format(c.date_pattern, c.time_pattern);
    Texts out{"", ""};
    format.append_date(out.date, kSample);
    format.append_time(out.time, kSample);
    EXPECT_EQ(out.date, c.date);
    EXPECT_EQ(out.time, c.time);
  }
  const DateTimeFormat format("yyyy-mm-dd", "hh:mm:ss.xxx");
  std::string text;
  format.append_date_time(text, kSample.filetime(), /*fraction=*/false);
  format.append_date_time(text, 0);  // no time: a lone blank
  EXPECT_EQ(text, "2012-12-14 23:06:40 ");
}

TEST(DateTimeFormatDesc, CompileAndFormat) {
  struct Case {
    const char* date_pattern;
    const char* time_pattern;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {"mmm dd, yyyy", "hh:mm:ss.xxxx", "Dec 14 2012", "23:06:40.1234"},  // the comma is not written
      {"yyyy-mm-dd", "hh:mm:ss.xxx", "2012-12-14", "23:06:40.123"},
      {"mm/dd/yy", "hh:mm:ss", "12/14/2012", "23:06:40"},  // "yy" still writes the whole year
      {"dd mmm yyyy", "hh:mm:ss.xxxxxxxxxxxx", "14 Dec 2012", "23:06:40.123456700"},  // at most 9 digits
      {"yyyymmdd", "hh:mm", "2012/12/14", "23:06:40"},  // no separator: "/"
      {"mm-yyyy", "hh:mm:ss.xxx", "", "23:06:40"},  // no day: no date, and the time pattern unread
      {"", "hh:mm:ss.xxx", "", "23:06:40.123"},
      {"abcdefgh", "hh:mm:ss", "2012-12-14", "23:06:40.123"},  // nothing set: the defaults
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date_pattern);
    Texts out;
    DelimitedDateTimeFormat(c.date_pattern, c.time_pattern, false).format(kSample, out.date, out.time);
    EXPECT_EQ(out.date, c.date);
    EXPECT_EQ(out.time, c.time);
  }
}

// Records what a run writes to standard error.
struct CapturedMessages : kerf::io::MessageSink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

TEST(DateTimePatternOption, AcceptanceRule) {
  struct Case {
    bool is_date;
    const char* value;
    const char* stored;  // nullptr: refused
  };
  const Case cases[] = {
      {true, "m/d/yyyy", "m/d/yyyy"},
      {true, "YYYY-MM-DD", "yyyy-mm-dd"},
      {true, "yyyy-mm-dd ", nullptr},  // 11 characters
      {false, "hh:mm", nullptr},
      {false, "HH:MM:SS.XXXXXX", "hh:mm:ss.xxxxxx"},
      {false, "hh:mm:ss.xxxxxxxxx", "hh:mm:ss.xxxxxxxxx"},  // 18
      {false, "hh:mm:ss.xxxxxxxxxx", nullptr},               // 19
      {false, "hh.mm.ss", nullptr},                          // no ":"
      {false, "HH:MM:\xC3\x89", "hh:mm:\xC3\x89"},           // only A-Z change
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    kerf::ArgList args({"kerf", c.is_date ? "-dateformat" : "-timeformat", c.value});
    CapturedMessages messages;
    const auto settings = kerf::parse_command_line(args, messages);
    ASSERT_TRUE(settings);
    const std::string& pattern = c.is_date ? settings->report.date_pattern : settings->report.time_pattern;
    EXPECT_EQ(pattern, c.stored ? c.stored : c.is_date ? "yyyy-mm-dd" : "hh:mm:ss.xxx");
    EXPECT_EQ(messages.text, c.stored ? "" : "invalid " + std::string(c.value) + ", using default format\n");
  }
}

}  // namespace
