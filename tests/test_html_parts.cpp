// The parts of the -html page that need no browser: names made into page
// text, and the time axis fitted to spans from one second to eleven
// centuries (its zoomed views, drawn by the page's script: test_html_browser.cpp). Whole pages: test_cli_html.cpp and test_html_browser.cpp.
#include <gtest/gtest.h>

#include <string>

#include "report/html/html_escape.h"
#include "report/html/html_time_axis.h"
#include "report/html/html_timeline.h"

namespace {

TEST(HtmlText, NamesBecomeTextThatReadsAsTheyAre) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
      {"a&b'c", "a&amp;b&#39;c"},
      {"new\nline\x1b[31m", "new\\x0aline\\x1b[31m"},
      // Noncharacters; beside them what shares their lead byte stays.
      {"a\xef\xbf\xbf<\xef\xb7\x90\xef\xb7\xb0\xef\xbc\xa1", "a\\uffff&lt;\\ufdd0\xef\xb7\xb0\xef\xbc\xa1"},
      {"\xf0\x9f\xbf\xbe\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf", "\\U0001fffe\xf0\x9f\x98\x80\\U0010ffff"},
  };
  for (const auto& c : cases) {
    std::string out = "<td>";  // what stands before is left alone
    kerf::append_html_text(out, c.name);
    EXPECT_EQ(out, "<td>" + c.shown) << c.name;
  }
}

TEST(TimeAxis, TheStepFitsTheSpan) {
  constexpr std::uint64_t kSecond = 10'000'000;
  constexpr std::uint64_t kMinute = 60 * kSecond;
  constexpr std::uint64_t kDay = 24 * 60 * kMinute;
  constexpr std::uint64_t k20210304 = 132592896000000000ull;  // 2021-03-04 00:00:00
  const struct {
    const char* what;
    std::uint64_t first;
    std::uint64_t last;
    const char* step;
    const char* first_label;
    const char* first_date;
  } cases[] = {
      {"one run time", k20210304 + 611 * kSecond, k20210304 + 611 * kSecond, "2 minutes", "00:06", "2021-03-04"},
      {"all in one second", k20210304 + 5 * kSecond, k20210304 + 5 * kSecond + 9'999'999, "2 minutes", "23:56",
       "2021-03-03"},
      {"half an hour", k20210304 + 600 * kMinute, k20210304 + 630 * kMinute, "5 minutes", "10:00", "2021-03-04"},
      {"three days", k20210304, k20210304 + 3 * kDay, "12 hours", "00:00", "2021-03-04"},
      {"a month", k20210304, k20210304 + 30 * kDay, "1 week", "2021-03-08", ""},  // a Monday
      {"a year", k20210304, k20210304 + 365 * kDay, "2 months", "2021-03", ""},
      {"four years", k20210304 - 1426 * kDay, k20210304, "1 year", "2018", ""},
      {"1900 to 3000", 94354848000000000ull, 441481536000000000ull, "200 years", "2000", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const kerf::TimeAxis axis(c.first, c.last, 8);
    EXPECT_EQ(axis.step_text(), c.step);
    ASSERT_GE(axis.ticks().size(), 2u);
    EXPECT_LE(axis.ticks().size(), 8u);
    EXPECT_EQ(axis.ticks().front().label, c.first_label);
    EXPECT_EQ(axis.ticks().front().date, c.first_date);
    EXPECT_GT(axis.position(c.first), 0.0);
    EXPECT_LT(axis.position(c.last), 1.0);
    EXPECT_LE(axis.position(c.first), axis.position(c.last));
    // The page's script places the marks of a zoomed view from the axis's
    // ends: they must give the places the page draws.
    const double unix_first = static_cast<double>(c.first) / 1e7 - 11644473600.0;
    EXPECT_NEAR((unix_first - axis.start_unix_seconds()) / (axis.end_unix_seconds() - axis.start_unix_seconds()),
                axis.position(c.first), 1e-9);
    if (c.last - c.first < 10 * kMinute) {  // ten minutes around them
      EXPECT_NEAR(axis.position(c.first / 2 + c.last / 2), 0.5, 1e-6);
      EXPECT_NEAR(axis.position(c.first + 5 * kMinute), 1.0, 0.002);
    }
    double before = 0;
    for (const kerf::AxisTick& tick : axis.ticks()) {
      EXPECT_GE(tick.position, before) << tick.label;
      EXPECT_LE(tick.position, 1.0) << tick.label;
      before = tick.position;
    }
  }
}

// Ticks under a day apart name the day where it changes, and only there.
TEST(TimeAxis, HoursNameTheDayWhereItChanges) {
  constexpr std::uint64_t k20210304 = 132592896000000000ull;
  constexpr std::uint64_t kHour = 36'000'000'000ull;
  const kerf::TimeAxis axis(k20210304 - 16 * kHour, k20210304 + 16 * kHour, 8);
  ASSERT_EQ(axis.step_text(), "6 hours");
  std::string seen;
  for (const kerf::AxisTick& tick : axis.ticks()) seen += tick.label + "/" + tick.date + " ";
  EXPECT_EQ(seen, "12:00/2021-03-03 18:00/ 00:00/2021-03-04 06:00/ 12:00/ ");
}

// However many files a run reports, the drawing made at its end stays
// within its bound; the files left out are counted on the page.
TEST(ExecutionTimeline, TheDrawingIsBounded) {
  constexpr std::uint64_t kRun = 132593262651234567ull;
  constexpr std::size_t kFiles = 250'000;
  kerf::ExecutionTimeline timeline;
  const std::uint64_t times[] = {kRun, kRun - 1'000'000'000, 0};
  for (std::size_t i = 0; i < kFiles; ++i) timeline.add(i % 2 == 0 ? "A.EXE" : "B.EXE", "file.pf", times);
  const kerf::time::DateTimeFormat format("yyyy-mm-dd", "hh:mm:ss.xxxxxxxxx");
  std::string out;
  timeline.write(out, format);
  EXPECT_LE(out.size(), kerf::ExecutionTimeline::kMaxDrawingBytes);
  const std::size_t drawn = timeline.mark_count() / 2;
  EXPECT_GT(drawn, 50'000u);
  ASSERT_LT(drawn, kFiles);
  EXPECT_NE(out.find(std::to_string(kFiles - drawn) + " more reported files are not drawn"), std::string::npos);
  EXPECT_NE(out.find(std::to_string(drawn * 2) + " run times of " + std::to_string(drawn) + " Prefetch files, 2 executables"),
            std::string::npos);
}

}  // namespace
