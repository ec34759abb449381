#include <gtest/gtest.h>

#include <cstdint>
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

TEST(FormatDateTime, DatePatterns) {
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"yyyy-mm-dd", "2012-12-14"},
      {"mm/dd/yyyy", "12/14/2012"},
      {"dd/mm/yyyy", "14/12/2012"},
      {"mm/dd/yy", "12/14/12"},
      {"yyyy/mm/dd", "2012/12/14"},
      {"dd.mm.yyyy", "14/12/2012"},  // no known separator: "/"
      {"yyyymmdd", "2012/12/14"},
      {"mmm dd, yy", "Dec 14, 12"},
      {"dd mmm yyyy", "14 Dec 2012"},
      {"yyyy mm dd", "2012 12 14"},
      {"mmm dd yyyy", "Dec 14 2012"},   // no comma asked for
      {"dd mmm, yyyy", "14 Dec 2012"},  // comma only after a day that follows the month
      {"mm-dd,-yyyy", "12-14-2012"},    // comma only with the space separator
      {"mm-yyyy", "12/14/2012"},        // no day token: month/day/year with "/"
      {"dd-mmm", "Dec/14/2012"},        // no year token
      {"x", "12/14/2012"},
  };
  for (const auto& c : cases) {
    Texts out;
    EXPECT_TRUE(qv::format_date_time(out.date, out.time, kSample, c.pattern, "hh:mm:ss"));
    EXPECT_EQ(out.date, c.text) << c.pattern;
  }
}

TEST(FormatDateTime, TimePatterns) {
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"hh:mm:ss.xxx", "23:06:40.123"},
      {"hh:mm:ss", "23:06:40"},
      {"hh:mm:ss.xxxx", "23:06:40.1234"},
      {"hh:mm:ss.xxxxx", "23:06:40.12345"},
      {"hh:mm:ss.xxxxxx", "23:06:40.123456"},
      {"hh:mm:ss.xxxxxxx", "23:06:40.1234567"},
      {"hh:mm:ss.xxxxxxxx", "23:06:40.12345670"},
      {"hh:mm:ss.xxxxxxxxx", "23:06:40.123456700"},
      {"hh:mm:ss.xxxxxxxxxx", "23:06:40"},   // more than 9 digits: no fraction at all
      {"hh:mm:ss.xxx x", "23:06:40.12345"},  // digits run to the last "x"
      {"hh.mm.ss", ":40"},                   // no "hh:mm"
      {"ss.xxx hh:mm", "23:06:40.123"},      // token order plays no part
      {"hh:mm", "23:06"},
      {"hh:mm:ss.xx", "23:06:40"},  // "xx" is not a fraction
  };
  for (const auto& c : cases) {
    Texts out;
    EXPECT_TRUE(qv::format_date_time(out.date, out.time, kSample, "yyyy-mm-dd", c.pattern));
    EXPECT_EQ(out.time, c.text) << c.pattern;
  }
}

TEST(FormatDateTime, SmallFieldsArePaddedWithZeros) {
  const qv::time early(94'354'848'000'000'001, qv::type_time::filetime);  // 1900-01-01 + 100 ns
  Texts out;
  ASSERT_TRUE(qv::format_date_time(out.date, out.time, early, "dd/mm/yyyy", "hh:mm:ss.xxxxxxxxx"));
  EXPECT_EQ(out.date, "01/01/1900");
  EXPECT_EQ(out.time, "00:00:00.000000100");
}

TEST(FormatDateTime, EmptyPatternLeavesItsTextEmpty) {
  Texts out;
  EXPECT_TRUE(qv::format_date_time(out.date, out.time, kSample, "", "hh:mm:ss"));
  EXPECT_EQ(out.date, "");
  EXPECT_EQ(out.time, "23:06:40");
  EXPECT_TRUE(qv::format_date_time(out.date, out.time, kSample, "yyyy-mm-dd", ""));
  EXPECT_EQ(out.date, "2012-12-14");
  EXPECT_EQ(out.time, "");
}

TEST(FormatDateTime, NoFractionCutsAtTheFirstDot) {
  Texts out;
  EXPECT_TRUE(
      qv::format_date_time_no_fraction(out.date, out.time, kSample, "yyyy-mm-dd", "hh:mm:ss.xxx"));
  EXPECT_EQ(out.date, "2012-12-14");
  EXPECT_EQ(out.time, "23:06:40");
}

TEST(FormatDateTime, InvalidTimeGivesTwoEmptyTextsFromEveryFormatter) {
  date_time_format_desc desc;
  qv::compile_date_time_format(desc, "yyyy-mm-dd", "hh:mm:ss.xxx", false);
  const qv::time invalid_times[] = {qv::time(0, qv::type_time::filetime), qv::time(),
                                    qv::time(0, qv::type_time::unix_time)};
  for (const auto& t : invalid_times) {
    Texts a, b, c;
    EXPECT_FALSE(qv::format_date_time(a.date, a.time, t, "yyyy-mm-dd", "hh:mm:ss.xxx"));
    EXPECT_FALSE(qv::format_date_time_no_fraction(b.date, b.time, t, "yyyy-mm-dd", "hh:mm:ss"));
    EXPECT_FALSE(qv::format_with_descriptor(c.date, c.time, t, desc));
    for (const Texts* out : {&a, &b, &c}) {
      EXPECT_EQ(out->date, "");
      EXPECT_EQ(out->time, "");
    }
  }
}

TEST(MonthAbbrev, OnlyMonthsOneToTwelveHaveNames) {
  EXPECT_EQ(qv::month_abbrev(1), "Jan");
  EXPECT_EQ(qv::month_abbrev(5), "May");
  EXPECT_EQ(qv::month_abbrev(12), "Dec");
  EXPECT_EQ(qv::month_abbrev(0), "");
  EXPECT_EQ(qv::month_abbrev(13), "");
  EXPECT_EQ(qv::month_abbrev(-1), "");
}

TEST(DateTimeFormatDesc, CompileAndFormat) {
  struct Case {
    const char* date_pattern;
    const char* time_pattern;
    bool compiled;
    std::uint8_t separator;
    std::uint8_t flags;
    const char* date;
    const char* time;
  };
  constexpr std::uint8_t kName = date_time_format_desc::kMonthName;
  constexpr std::uint8_t kNum = date_time_format_desc::kNumericMonth;
  constexpr std::uint8_t kY4 = date_time_format_desc::kFourDigitYear;
  constexpr std::uint8_t kY2 = date_time_format_desc::kTwoDigitYear;
  constexpr std::uint8_t kComma = date_time_format_desc::kComma;
  constexpr std::uint8_t kDMY = date_time_format_desc::kOrderDMY;
  constexpr std::uint8_t kMDY = date_time_format_desc::kOrderMDY;
  constexpr std::uint8_t kYMD = date_time_format_desc::kOrderYMD;
  const Case cases[] = {
      {"yyyy-mm-dd", "hh:mm:ss.xxx", true, '-', kNum | kY4 | kYMD, "2012-12-14", "23:06:40.123"},
      // "yy" still writes the whole year
      {"mm/dd/yy", "hh:mm:ss", true, '/', kNum | kY2 | kMDY, "12/14/2012", "23:06:40"},
      {"dd/mm/yyyy", "hh:mm:ss.xxxxxx", true, '/', kNum | kY4 | kDMY, "14/12/2012",
       "23:06:40.123456"},
      {"dd mmm yyyy", "hh:mm:ss.xxxxxxxxx", true, ' ', kName | kY4 | kDMY, "14 Dec 2012",
       "23:06:40.123456700"},
      // the comma is recorded but not written
      {"mmm dd, yyyy", "hh:mm:ss.xxxx", true, ' ', kName | kY4 | kComma | kMDY, "Dec 14 2012",
       "23:06:40.1234"},
      {"yyyy mmm dd", "hh:mm:ss.xxxxxxxxxxxx", true, ' ', kName | kY4 | kYMD, "2012 Dec 14",
       "23:06:40.123456700"},  // more than 9 digits asked: 9
      // no separator in the pattern: "/" between the fields
      {"yyyymmdd", "hh:mm", true, 0, kNum | kY4 | kYMD, "2012/12/14", "23:06:40"},
      {"dd.mm.yyyy", "hh:mm:ss", true, 0, kNum | kY4 | kDMY, "14/12/2012", "23:06:40"},
      // failures keep what was set before the failing test
      {"mm-yyyy", "hh:mm:ss.xxx", false, '-', kNum | kY4, "", "23:06:40"},
      {"yyyy-dd-mm", "hh:mm:ss.xxx", false, '-', kNum | kY4, "", "23:06:40"},
      {"m/d/yyyy", "hh:mm:ss.xxx", false, '/', 0, "", "23:06:40"},
      {"mm/dd", "hh:mm:ss.xxx", false, '/', kNum, "", "23:06:40"},
      {"", "hh:mm:ss.xxx", true, 0, 0, "", "23:06:40.123"},
  };
  for (const auto& c : cases) {
    date_time_format_desc desc;
    EXPECT_EQ(qv::compile_date_time_format(desc, c.date_pattern, c.time_pattern, false), c.compiled)
        << c.date_pattern;
    EXPECT_EQ(desc.separator, c.separator) << c.date_pattern;
    EXPECT_EQ(desc.flags, c.flags) << c.date_pattern;
    EXPECT_EQ(desc.first_year, 1900);
    EXPECT_EQ(desc.second_year, 2600);
    Texts out;
    EXPECT_TRUE(qv::format_with_descriptor(out.date, out.time, kSample, desc)) << c.date_pattern;
    EXPECT_EQ(out.date, c.date) << c.date_pattern;
    EXPECT_EQ(out.time, c.time) << c.date_pattern;
  }
}

TEST(DateTimeFormatDesc, FractionByteHoldsCallerFlagAndDigitCount) {
  date_time_format_desc desc;
  qv::compile_date_time_format(desc, "yyyy-mm-dd", "hh:mm:ss.xxxxxx", true);
  EXPECT_EQ(desc.fraction, 0x01 | (6 << 1));
  EXPECT_EQ(desc.fraction_digit_count(), 6u);
  qv::compile_date_time_format(desc, "yyyy-mm-dd", "hh:mm:ss", false);
  EXPECT_EQ(desc.fraction, 0);
}

TEST(DateTimeFormatDesc, RecompilingStartsFromScratch) {
  date_time_format_desc desc;
  qv::compile_date_time_format(desc, "mmm dd, yyyy", "hh:mm:ss.xxx", true);
  qv::compile_date_time_format(desc, "yyyy-mm-dd", "hh:mm:ss", false);
  EXPECT_EQ(desc.flags, date_time_format_desc::kNumericMonth |
                            date_time_format_desc::kFourDigitYear |
                            date_time_format_desc::kOrderYMD);
  EXPECT_EQ(desc.fraction, 0);
}

TEST(DateTimeFormatDesc, NotCompiledFallsBackToDefaultsAndSaysSo) {
  const date_time_format_desc fresh;
  EXPECT_FALSE(fresh.is_compiled());
  Texts out;
  EXPECT_FALSE(qv::format_with_descriptor(out.date, out.time, kSample, fresh));
  EXPECT_EQ(out.date, "2012-12-14");
  EXPECT_EQ(out.time, "23:06:40.123");

  date_time_format_desc empty_patterns;
  qv::compile_date_time_format(empty_patterns, "", "", false);
  EXPECT_FALSE(empty_patterns.is_compiled());  // only the year values are set
  EXPECT_EQ(empty_patterns.first_year, 1900);
}

TEST(DateTimePatternOption, AcceptanceRule) {
  struct Case {
    bool is_date;
    const char* value;
    bool accepted;
    const char* stored;
  };
  const Case cases[] = {
      {true, "mm/dd/yy", true, "mm/dd/yy"},
      {true, "m/d/yyyy", true, "m/d/yyyy"},
      {true, "YYYY-MM-DD", true, "yyyy-mm-dd"},
      {true, "m/d/yy", false, "previous"},
      {true, "yyyy-mm-dd ", false, "previous"},  // 11 characters
      {false, "hh:mm", false, "previous"},
      {false, "hh:mm:ss", true, "hh:mm:ss"},
      {false, "hh:mm:ss.xxxxxx", true, "hh:mm:ss.xxxxxx"},
      {false, "HH:MM:SS.XXXXXX", true, "hh:mm:ss.xxxxxx"},
      {false, "hh:mm:ss.xxxxxxxxx", true, "hh:mm:ss.xxxxxxxxx"},  // 18
      {false, "hh:mm:ss.xxxxxxxxxx", false, "previous"},          // 19
      {false, "hh:mm:ss.x", false, "previous"},                   // 10
      {false, "hh.mm.ss", false, "previous"},                     // no ":"
      {false, "HH:MM:\xC3\x89", true, "hh:mm:\xC3\x89"},          // only A-Z change
  };
  for (const auto& c : cases) {
    std::string pattern = "previous";
    const bool accepted = c.is_date ? qv::accept_date_format(c.value, pattern)
                                    : qv::accept_time_format(c.value, pattern);
    EXPECT_EQ(accepted, c.accepted) << c.value;
    EXPECT_EQ(pattern, c.stored) << c.value;
  }
}

TEST(DateTimePatternOption, RefusalMessageQuotesTheValueAsTyped) {
  EXPECT_EQ(qv::invalid_format_message("m/d/yy"), "invalid m/d/yy, using default format");
  EXPECT_EQ(qv::invalid_format_message("HH:MM"), "invalid HH:MM, using default format");
}

TEST(DateTimePatternOption, AcceptedUpperCaseTimeFormatsLikeLowerCase) {
  std::string pattern = "hh:mm:ss.xxx";
  ASSERT_TRUE(qv::accept_time_format("HH:MM:SS.XXXXXX", pattern));
  Texts out;
  qv::format_date_time(out.date, out.time, kSample, "yyyy-mm-dd", pattern);
  EXPECT_EQ(out.time, "23:06:40.123456");
}

}  // namespace
