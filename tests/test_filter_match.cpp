// What the input filter lets through: -filter name and directory patterns and
// -filter_sig content bytes. How the two bulk modes apply it, and the time
// window, are tested on the program itself (test_cli_bulk.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/input_filter.h"
#include "tests/support/temp_dir.h"

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
      {"*.pf", "C:\\Windows\\Prefetch\\CMD.EXE-4A81B364.PF", true},
      {"*.pf", "/cases/x.pf.pf", false},  // the first ".pf" must end the name
      {"*.pf", "/cases.pf/a", false},
      {"*.PF", "/cases/a.pf", true},  // the pattern is lower-cased too
      {"*partial*", "/cases/MyPartialName.pf", true},
      {"*partial*", "/cases/partial/x.pf", false},  // only the name part counts
      {"app*", "/x/APPLE.pf", true},
      {"app*", "/x/myapp", false},
      {"a*b", "/x/ab", true},  // an inner '*' is just removed
      {"a*b", "/x/axb", false},
      {"cmd.pf", "CMD.PF", true},  // no separator: all of it is the name
      {"cmd.pf", "/x/cmd.pf.bak", false},
      {"*.pf:zone*", "/x/a.pf", true},  // the stream part is not consulted
      {"\xC3\x89T\xC3\xA9*", "/x/\xC3\x89t\xC3\xA9x.pf", true},  // only ASCII is lower-cased
      {"\xC3\x89T\xC3\xA9*", "/x/\xC3\xA9t\xC3\xA9x.pf", false},
      {"/prefetch", "/mnt/win/Prefetch/x.pf", true},
      {"/prefetch", "/mnt/Prefetch/sub/x.pf", true},  // ends right before a '/'
      {"/prefetch", "/mnt/prefetch2/x.pf", false},
      {"/prefetch", "/prefetch", false},  // the directory part is empty
      {"/windows/prefetch", "C:\\Windows\\Prefetch\\sub\\x.pf", true},  // backslashes read as '/'
      {"/windows/prefetch", "C:\\Windows\\Prefetch2\\x.pf", false},
      // A list: split at '|' and at ',' ("a|b,c" is a, "b,c", "a|b" and c).
      {"cmd*|*.pf", "/x/CMD.EXE-1.dat", true},
      {"cmd*|*.pf", "/x/y.dat", false},
      {"/prefetch|*.pf", "/elsewhere/x.pf", true},  // a missed directory tries the name
      {"a|b,c", "/x/a|b", true},
      {"a|b,c", "/x/b", false},
      {" a | ,b", "/x/a |", true},
      {"|", "/x/|", true},  // no piece left: the whole value is the pattern
      {"x|*", "/x/y.dat", true},  // a lone '*' lets everything through
  };
  const kerf::TimeWindow no_window;
  for (const Case& c : cases) {
    EXPECT_EQ(kerf::match_path(no_window, c.path, filters_for(c.filter)), c.matches)
        << c.filter << " on " << c.path;
    EXPECT_EQ(kerf::piped_name_passes(no_window, c.path, filters_for(c.filter)), c.matches)
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
      {"31|1", file, true},
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

}  // namespace
