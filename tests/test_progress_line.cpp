// The progress line of a bulk run: its text and how often it is drawn. How it
// shares the terminal with messages and reports is tested on the program
// itself, on a pseudo-terminal (test_cli_bulk.cpp).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "driver/progress_line.h"

namespace {

using kerf::progress_line;
using namespace std::chrono_literals;

// Captures what the line writes, with a clock the test moves by hand.
class ProgressTerminal : public ::testing::Test {
 protected:
  void SetUp() override { terminal = std::tmpfile(); }
  void TearDown() override { std::fclose(terminal); }

  progress_line make(bool shares_with_reports) {
    return progress_line(terminal, shares_with_reports, [this] { return now; });
  }
  // What was written since the last call.
  std::string written() {
    std::fflush(terminal);
    const long end = std::ftell(terminal);
    std::string text(static_cast<std::size_t>(end - read_at), '\0');
    std::fseek(terminal, read_at, SEEK_SET);
    if (!text.empty()) {
      EXPECT_EQ(std::fread(text.data(), 1, text.size(), terminal), text.size());
    }
    read_at = end;
    return text;
  }

  std::FILE* terminal = nullptr;
  long read_at = 0;
  std::chrono::steady_clock::time_point now{};
};

std::string line(const std::string& text) { return "\r" + text + "\x1b[K"; }
const std::string kErase = "\r\x1b[K";

TEST(ProgressLineText, CountsThenTheEndOfTheName) {
  struct Case {
    std::string name;
    std::size_t width;
    std::string text;
  };
  const std::string long_path = "/mnt/evidence/image-01/Windows/Prefetch/NOTEPAD.EXE-336351A9.pf";
  const std::vector<Case> cases = {
      {"/x/a.pf", 70, "3 files, 2 reported, 1 failed: /x/a.pf"},
      {long_path, 70, "3 files, 2 reported, 1 failed: ...ows/Prefetch/NOTEPAD.EXE-336351A9.pf"},
      {long_path, 34, "3 files, 2 reported, 1 failed: .pf"},  // too narrow for "..."
      {"/x/caf\xc3\xa9.pf", 70, "3 files, 2 reported, 1 failed: /x/caf\xc3\xa9.pf"},
      // Whole characters only, counted as one column each.
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 35, "3 files, 2 reported, 1 failed: ...\xc3\xa9"},
      // Nothing a terminal would act on comes through.
      {"a\x1b[2Jb\r\n\x07", 70, "3 files, 2 reported, 1 failed: a?[2Jb???"},
      {"\xc2\x9b" "31m\xff\xc0\xaf\xed\xa0\x80", 70,
       "3 files, 2 reported, 1 failed: ?31m??????"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(progress_line::format(3, 2, 1, c.name, c.width), c.text) << c.name;
  }
  EXPECT_EQ(progress_line::format(123456789, 123456789, 0, "/x", 20), "123456789 files, 123");
}

TEST_F(ProgressTerminal, DrawnAtMostTenTimesASecond) {
  {
    progress_line progress = make(false);
    progress.before_file("/x/1.pf");
    EXPECT_EQ(written(), "");
    progress.after_file(true);  // the first file is shown at once
    EXPECT_EQ(written(), line("1 files, 1 reported, 0 failed: /x/1.pf"));
    EXPECT_TRUE(progress.shown());

    now += 60ms;
    progress.before_file("/x/2.pf");
    progress.after_file(false);
    EXPECT_EQ(written(), "");  // too soon; the line stays
    EXPECT_TRUE(progress.shown());

    now += 40ms;
    progress.before_file("/x/3.pf");
    progress.after_file(true);
    EXPECT_EQ(written(), line("3 files, 2 reported, 1 failed: /x/3.pf"));

    progress.erase();
    EXPECT_EQ(written(), kErase);
    EXPECT_FALSE(progress.shown());
    progress.erase();
    EXPECT_EQ(written(), "");
    now += 1s;
    progress.before_file("/x/4.pf");
    progress.after_file(true);
    EXPECT_EQ(written(), line("4 files, 3 reported, 1 failed: /x/4.pf"));
  }
  EXPECT_EQ(written(), kErase);  // gone with the object
}

}  // namespace
