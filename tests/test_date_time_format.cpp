#include <gtest/gtest.h>

#include <string>

#include "lib/date_time_format.h"
#include "lib/date_time_format_desc.h"
#include "lib/date_time_pattern_option.h"
#include "lib/qv_time.h"

namespace {

using qv::date_time_format_desc;

// 2012-12-14 23:06:40.1234567 UTC
const qv::time kSample(130'000'000'001'234'567, qv::type_time::filetime);

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
    Texts out;
    EXPECT_TRUE(qv::format_date_time(out.date, out.time, kSample, c.date_pattern, c.time_pattern));
    EXPECT_EQ(out.date, c.date);
    EXPECT_EQ(out.time, c.time);
  }
  Texts out;
  ASSERT_TRUE(qv::format_date_time_no_fraction(out.date, out.time, kSample, "yyyy-mm-dd", "hh:mm:ss.xxx"));
  EXPECT_EQ(out.time, "23:06:40");
}

TEST(DateTimeFormatDesc, CompileAndFormat) {
  struct Case {
    const char* date_pattern;
    const char* time_pattern;
    bool compiled;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {"mmm dd, yyyy", "hh:mm:ss.xxxx", true, "Dec 14 2012", "23:06:40.1234"},  // the comma is not written
      {"yyyy-mm-dd", "hh:mm:ss.xxx", true, "2012-12-14", "23:06:40.123"},
      {"mm/dd/yy", "hh:mm:ss", true, "12/14/2012", "23:06:40"},  // "yy" still writes the whole year
      {"dd mmm yyyy", "hh:mm:ss.xxxxxxxxxxxx", true, "14 Dec 2012", "23:06:40.123456700"},  // at most 9 digits
      {"yyyymmdd", "hh:mm", true, "2012/12/14", "23:06:40"},  // no separator: "/"
      {"mm-yyyy", "hh:mm:ss.xxx", false, "", "23:06:40"},
      {"", "hh:mm:ss.xxx", true, "", "23:06:40.123"},
  };
  date_time_format_desc desc;  // each compilation starts from scratch
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date_pattern);
    EXPECT_EQ(qv::compile_date_time_format(desc, c.date_pattern, c.time_pattern, false), c.compiled);
    Texts out;
    EXPECT_TRUE(qv::format_with_descriptor(out.date, out.time, kSample, desc));
    EXPECT_EQ(out.date, c.date);
    EXPECT_EQ(out.time, c.time);
  }
}

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
    std::string pattern = "previous";
    const bool accepted =
        c.is_date ? qv::accept_date_format(c.value, pattern) : qv::accept_time_format(c.value, pattern);
    EXPECT_EQ(accepted, c.stored != nullptr);
    EXPECT_EQ(pattern, c.stored ? c.stored : "previous");
  }
}

}  // namespace
