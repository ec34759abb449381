#include <gtest/gtest.h>

#include <string>

#include "driver/options.h"
#include "lib/time/date_time_format.h"

namespace {

using kerf::time::DateTimeFormat;

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
      {true, "yyyy/dd/mm", "yyyy/dd/mm"},
      {true, "mm.dd.yy", "mm.dd.yy"},
      {true, "m/d/yyyy", nullptr},     // no two-digit month or day
      {true, "abcdefgh", nullptr},     // no token at all
      {true, "yyyy-mm-dd ", nullptr},  // 11 characters
      {false, "hh:mm", nullptr},
      {false, "HH:MM:SS.XXXXXX", "hh:mm:ss.xxxxxx"},
      {false, "hh:mm:ss.xxxxxxxxx", "hh:mm:ss.xxxxxxxxx"},  // 18
      {false, "hh:mm:ss.xxxxxxxxxx", nullptr},              // 19
      {false, "hh.mm.ss", nullptr},                         // no hours and minutes
      {false, "xx:xx:xx", nullptr},
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
