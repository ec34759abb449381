// The progress line of a bulk run: its text and how often it is drawn. How it
// shares the terminal with messages and reports is tested on the program
// itself, on a pseudo-terminal (test_cli_bulk.cpp).
#include "driver/progress_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using kerf::ProgressLine;
using namespace std::chrono_literals;

TEST(ProgressLine, CountsThenTheEndOfTheName) {
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
      // Whole characters only, counted as one column each.
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 35, "3 files, 2 reported, 1 failed: ...\xc3\xa9"},
      // Nothing a terminal would act on comes through.
      {"a\x1b[2Jb\r\n\x07", 70, "3 files, 2 reported, 1 failed: a?[2Jb???"},
      {"\xc2\x9b" "31m\xff\xc0\xaf\xed\xa0\x80", 70, "3 files, 2 reported, 1 failed: ?31m??????"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressLine::format(3, 2, 1, c.name, c.width), c.text) << c.name;
  }
  EXPECT_EQ(ProgressLine::format(123456789, 123456789, 0, "/x", 20), "123456789 files, 123");
}

TEST(ProgressLine, DrawnAtMostTenTimesASecond) {
  std::FILE* terminal = std::tmpfile();
  long read_at = 0;
  const auto written = [&] {  // what was written since the last call
    std::fflush(terminal);
    const long end = std::ftell(terminal);
    std::string text(static_cast<std::size_t>(end - read_at), '\0');
    std::fseek(terminal, read_at, SEEK_SET);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), terminal), text.size());
    read_at = end;
    return text;
  };
  const auto line = [](const std::string& text) { return "\r" + text + "\x1b[K"; };
  std::chrono::steady_clock::time_point now{};
  {
    ProgressLine progress(terminal, false, [&now] { return now; });
    progress.before_file("/x/1.pf");
    EXPECT_EQ(written(), "");
    progress.after_file(true);  // the first file is shown at once
    EXPECT_EQ(written(), line("1 files, 1 reported, 0 failed: /x/1.pf"));

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
    progress.erase();
    EXPECT_EQ(written(), "\r\x1b[K");  // once
    EXPECT_FALSE(progress.shown());
    now += 1s;
    progress.before_file("/x/4.pf");
    progress.after_file(true);
    EXPECT_EQ(written(), line("4 files, 3 reported, 1 failed: /x/4.pf"));
  }
  EXPECT_EQ(written(), "\r\x1b[K");  // gone with the object
  std::fclose(terminal);
}

}  // namespace
