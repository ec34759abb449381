// What a run takes as input: the -filter name and directory patterns and
// -filter_sig content bytes, the bounds of the modification-time window
// (-cmd_start_time, -cmd_stop_time), and the environment references in a
// typed name, and the number rule of option values. How the two bulk modes
// apply the filter and the window is tested on the program itself
// (test_cli_bulk.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver/cli/arg_list.h"
#include "driver/input/directory_walker.h"
#include "driver/cli/env_expand.h"
#include "driver/input/input_filter.h"
#include "driver/cli/time_bound.h"
#include "testkit/temp_dir.h"

namespace {

using kerf::testing::TempDir;

// The entries that -filter VALUE (and -filter_sig SIG, when given) make.
std::vector<kerf::FilterPattern> filters_for(const std::string& value, const std::string& sig = "") {
  std::vector<kerf::FilterPattern> filters;
  if (!value.empty()) filters = kerf::parse_filter_patterns(value);
  if (!sig.empty()) {
    const auto pattern = kerf::parse_filter_signature(sig);
    EXPECT_TRUE(pattern) << sig;
    if (pattern) filters.push_back(*pattern);
  }
  return filters;
}

TEST(FilterMatch, NamePatterns) {
  struct Case {
    std::string filter;
    std::string path;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"*.pf", "/cases.pf/a", false},
      {"*.PF", "/cases/a.pf", true},  // the pattern is lower-cased too
      {"app*", "/x/APPLE.pf", true},
      {"app*", "/x/myapp", false},
      {"a*b", "/x/ab", true},  // an inner '*' is just removed
      {"a*b", "/x/axb", false},
      {"cmd.pf", "CMD.PF", true},  // no separator: all of it is the name
      {"cmd.pf", "/x/cmd.pf.bak", false},
      {"*.pf:zone*", "/x/a.pf", true},  // the stream part is not consulted
      {"\xC3\x89T\xC3\xA9*", "/x/\xC3\x89t\xC3\xA9x.pf", true},  // only ASCII is lower-cased
      {"\xC3\x89T\xC3\xA9*", "/x/\xC3\xA9t\xC3\xA9x.pf", false},
      {"/prefetch", "/prefetch", false},  // the directory part is empty
      {"/windows/prefetch", "C:\\Windows\\Prefetch\\sub\\x.pf", true},  // backslashes read as '/'; ends before one
      {"/windows/prefetch", "C:\\Windows\\Prefetch2\\x.pf", false},
      // A list: split at '|' and at ',' ("a|b,c" is a, "b,c", "a|b" and c).
      {"cmd*|*.pf", "/x/CMD.EXE-1.dat", true},
      {"/prefetch|*.pf", "/elsewhere/x.pf", true},  // a missed directory tries the name
      {"a|b,c", "/x/a|b", true},
      {"a|b,c", "/x/b", false},
      {" a | ,b", "/x/a |", true},
      {"|", "/x/|", true},  // no piece left: the whole value is the pattern
  };
  const kerf::TimeWindow no_window;
  for (const Case& c : cases) {
    EXPECT_EQ(kerf::match_path(no_window, c.path, filters_for(c.filter)), c.matches)
        << c.filter << " on " << c.path;
  }
  EXPECT_FALSE(kerf::match_path(no_window, "", {}));
  EXPECT_TRUE(kerf::match_path(no_window, "/x/anything", {}));
}

TEST(FilterMatch, ContentBytesAtAnOffset) {
  TempDir dir;
  const std::string file = dir.write_text("data.bin", "0123456789");
  const std::string fifo = dir.file("fifo.pf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string sig;
    std::string path;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"3031", file, true},
      {"0x3435|4", file, true},
      {"3435,0x4", file, true},
      {" 3435| 4 ", file, true},
      {"3435|5", file, false},
      {"39|9", file, true},                   // the last byte
      {"3940|9", file, false},                // runs past the end
      {"30|10", file, false},                 // starts at the end
      {"30|0xffffffffffffffff", file, false},  // offset + length overflows
      {"3031", dir.file("missing"), false},
      {"3031", dir.path().string(), false},  // a directory
      {"3031", fifo, false},                 // refused, never waited on
  };
  const kerf::TimeWindow no_window;
  for (const Case& c : cases) {
    EXPECT_EQ(kerf::match_path(no_window, c.path, filters_for("", c.sig)), c.matches)
        << c.sig << " on " << c.path;
  }
  // A name entry and a content entry: either lets the file through.
  EXPECT_TRUE(kerf::match_path(no_window, file, filters_for("*.bin", "ffff")));
  EXPECT_FALSE(kerf::match_path(no_window, file, filters_for("*.txt", "ffff")));

  // An offset that is no whole number would select nothing (or the wrong
  // bytes): the signature is refused.
  for (const char* bad : {"", "0x", "|4", "abc", "4g", "4d 41", "-4d", "31|1,5", "31|x", "31|-1", "31|0x",
                          "30|0x10000000000000000"}) {
    EXPECT_FALSE(kerf::parse_filter_signature(bad)) << bad;
  }
}

TEST(TimeBound, Table) {
  constexpr auto start = kerf::TimeBoundEnd::start;
  constexpr auto stop = kerf::TimeBoundEnd::stop;
  constexpr auto invalid = kerf::TimeBoundStatus::invalid;
  constexpr auto malformed = kerf::TimeBoundStatus::malformed;
  struct Case {
    const char* value;
    kerf::TimeBoundEnd end;
    kerf::TimeBoundStatus status;
    const char* when = "";  // the bound read, for an accepted value
  };
  const Case cases[] = {
      {"2024/03/17", start, kerf::TimeBoundStatus::ok, "2024-03-17 00:00:00.000"},
      {"2024/03/17", stop, kerf::TimeBoundStatus::ok, "2024-03-17 23:59:59.000"},
      {"2024-3-7 8:05", stop, kerf::TimeBoundStatus::ok, "2024-03-07 08:05:00.000"},
      {"2024/03/17  10:00 ", start, kerf::TimeBoundStatus::ok, "2024-03-17 10:00:00.000"},
      {"2000/02/29", start, kerf::TimeBoundStatus::ok, "2000-02-29 00:00:00.000"},
      {"1900/01/01", start, kerf::TimeBoundStatus::ok, "1900-01-01 00:00:00.000"},
      {"3000/12/31", stop, kerf::TimeBoundStatus::ok, "3000-12-31 23:59:59.000"},
      {"2024/13/01", start, invalid},
      {"2023/02/29", start, invalid},
      {"1900/02/29", start, invalid},
      {"2024/04/31", start, invalid},
      {"2024/06/31", start, invalid},
      {"2024/09/31", start, invalid},
      {"2024/11/31", start, invalid},
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
      {" 2024/03/17", start, malformed},  // the date part is empty
  };
  for (const Case& c : cases) {
    // A marker that a failed parse must leave alone.
    kerf::time::Instant bound = kerf::time::Instant::from_filetime(1);
    ASSERT_EQ(kerf::parse_time_bound(c.value, c.end, bound), c.status) << c.value;
    if (c.status != kerf::TimeBoundStatus::ok) {
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

// Sets one environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* variable, const char* value) : name(variable) { ::setenv(name, value, 1); }
  ~ScopedEnv() { ::unsetenv(name); }
  const char* name;
};

TEST(ExpandEnvVars, ReplacesSetVariablesAndKeepsTheRest) {
  const ScopedEnv dir("KERF_T_DIR", "/cases/42");
  const ScopedEnv nested("KERF_T_NESTED", "%KERF_T_DIR%/pf");
  for (const char* unset : {"KERF_T_NOPE", "vss", "VSS", "VsS"}) ::unsetenv(unset);
  const ScopedEnv one("KQ", "x");
  const ScopedEnv self("KERF_T_SELF", "%KERF_T_SELF%");
  const ScopedEnv ping("KERF_T_PING", "%KERF_T_PONG%");
  const ScopedEnv pong("KERF_T_PONG", "%KERF_T_PING%");
  const std::string vss_prefix = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy";
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += "%KQ%";
  struct Case {
    std::string text;
    std::string out;
  };
  const Case cases[] = {
      {"%KERF_T_NESTED%/%KERF_T_DIR%", "/cases/42/pf//cases/42"},
      {"%KERF_T_NOPE%%KERF_T_DIR%", "%KERF_T_NOPE%/cases/42"},
      {"%VsS%1\\%KERF_T_DIR%", vss_prefix + "1\\/cases/42"},
      {hundred, std::string(100, 'x')},
      {std::string(500, 'p') + "%KERF_T_DIR%", std::string(500, 'p') + "/cases/42"},
      {std::string(501, 'p') + "%KERF_T_DIR%", std::string(501, 'p') + "%KERF_T_DIR%"},  // 513 long
      // A runaway reference stays; expansion goes on after it.
      {"%KERF_T_SELF%%KERF_T_DIR%", "%KERF_T_SELF%/cases/42"},
      {"%KERF_T_PING%/%KERF_T_DIR%", "%KERF_T_PING%//cases/42"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kerf::expand_env_vars(c.text), c.out) << c.text;
  }
  const ScopedEnv named_vss("vss", "/mnt/shadow");  // a variable of that name wins over the prefix
  EXPECT_EQ(kerf::expand_env_vars("%vss%1"), "/mnt/shadow1");
  // A value that names itself and grows stops at the length limit.
  const ScopedEnv grow("KERF_T_GROW", "ab%KERF_T_GROW%");
  const std::string out = kerf::expand_env_vars("%KERF_T_GROW%");
  EXPECT_GE(out.size(), 513u);
  EXPECT_LT(out.size(), 513u + 16);
  EXPECT_EQ(out.substr(out.size() - 13), "%KERF_T_GROW%");
}

// A name given as "\\?\..." loses that prefix, except where what follows
// can name a device ("\\?\GLOBALROOT\Device\..."), which takes more than
// 46 characters.
TEST(LongPathPrefix, GoesUnlessADeviceFollows) {
  const std::string device = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\";
  const std::pair<std::string, std::string> cases[] = {
      {"\\\\?\\C:\\pf", "C:\\pf"},
      {"\\\\?\\", "\\\\?\\"},
      {device + "12345678", device.substr(4) + "12345678"},  // 46 characters
      {device + "123456789", device + "123456789"},
  };
  for (auto [name, kept] : cases) {
    kerf::strip_long_path_prefix(name);
    EXPECT_EQ(name, kept);
  }
}

}  // namespace
