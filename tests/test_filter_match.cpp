// Which names the input filter lets through: name, directory and content
// patterns, and the modification-time window. How the two bulk modes apply
// it is tested on the program itself (test_cli_bulk.cpp).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lib/cmd_params.h"
#include "lib/filter_match.h"
#include "lib/input_filter.h"
#include "lib/time_window.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::TempDir;

// The entries that -filter VALUE (and -filter_sig SIG, when given) make.
std::vector<qv::FilterEntry> filters_for(const std::string& value, const std::string& sig = "") {
  std::vector<qv::FilterEntry> filters;
  if (!value.empty()) filters = qv::parse_filter_patterns(value);
  if (!sig.empty()) {
    qv::FilterEntry entry;
    EXPECT_TRUE(qv::parse_filter_signature(sig, entry)) << sig;
    filters.push_back(entry);
  }
  return filters;
}

bool set_mtime(const std::string& path, std::int64_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return false;
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && status.st_mtim.tv_sec == seconds;
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
      {"*.pf", "/cases/a.pfx", false},
      {"*.pf", "/cases.pf/a", false},
      {"*.PF", "/cases/a.pf", true},  // the pattern is lower-cased too
      {"*partial*", "/cases/partial/x.pf", false},  // only the name part counts
      {"cmd*|*.pf", "/x/CMD.EXE-1.dat", true},
      {"cmd*|*.pf", "/x/y.dat", false},
      {"app*", "/x/APPLE.pf", true},
      {"app*", "/x/myapp", false},
      {"a*b", "/x/ab", true},  // an inner '*' is just removed
      {"a*b", "/x/axb", false},
      {"cmd.pf", "CMD.PF", true},  // no separator: all of it is the name
      {"cmd.pf", "/x/cmd.pf.bak", false},
      {"*.pf:zone*", "/x/a.pf", true},  // the stream part is not consulted
      {"/prefetch", "/mnt/win/Prefetch/x.pf", true},
      {"/prefetch", "/mnt/Prefetch/sub/x.pf", true},  // ends right before a '/'
      {"/prefetch", "/mnt/prefetch2/x.pf", false},
      {"/prefetch", "/prefetch", false},  // the directory part is empty
      {"/windows/prefetch", "C:\\Windows\\Prefetch\\x.pf", true},  // backslashes read as '/'
      {"/windows/prefetch", "C:\\Windows\\Prefetch\\sub\\x.pf", true},
      {"/windows/prefetch", "C:\\Windows\\Prefetch2\\x.pf", false},
      {"/prefetch|*.pf", "/elsewhere/x.pf", true},  // a missed directory tries the name
  };
  const qv::cmd_params options;
  for (const Case& c : cases) {
    EXPECT_EQ(qv::match_path(options, c.path, filters_for(c.filter)), c.matches)
        << c.filter << " on " << c.path;
    EXPECT_EQ(qv::file_matches_filter(options, c.path, filters_for(c.filter)), c.matches)
        << c.filter << " on " << c.path;
  }
  EXPECT_FALSE(qv::match_path(options, "", {}));
  EXPECT_FALSE(qv::file_matches_filter(options, "", {}));
  EXPECT_TRUE(qv::match_path(options, "/x/anything", {}));
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
      {"3435|4", file, true},
      {"3435,4", file, true},
      {"3435|5", file, false},
      {"39|9", file, true},                       // the last byte
      {"3940|9", file, false},                     // runs past the end
      {"30|10", file, false},                      // starts at the end
      {"30|0xffffffffffffffff", file, false},      // offset + length overflows
      {"3031", dir.file("missing"), false},
      {"3031", dir.path().string(), false},         // a directory
      {"3031", fifo, false},                        // refused, never waited on
  };
  const qv::cmd_params options;
  for (const Case& c : cases) {
    EXPECT_EQ(qv::match_path(options, c.path, filters_for("", c.sig)), c.matches)
        << c.sig << " on " << c.path;
  }
  // A name entry and a content entry: either lets the file through.
  EXPECT_TRUE(qv::match_path(options, file, filters_for("*.txt", "3031")));
  EXPECT_TRUE(qv::match_path(options, file, filters_for("*.bin", "ffff")));
  EXPECT_FALSE(qv::match_path(options, file, filters_for("*.txt", "ffff")));
}

TEST(FilterMatch, TimeWindow) {
  TempDir dir;
  qv::cmd_params options;
  ASSERT_EQ(qv::parse_time_bound("2020/01/01", qv::time_bound_end::start, options.m_start_time),
            qv::time_bound_status::ok);
  ASSERT_EQ(qv::parse_time_bound("2020/12/31", qv::time_bound_end::stop, options.m_stop_time),
            qv::time_bound_status::ok);
  options.m_has_start_time = options.m_has_stop_time = true;

  const std::int64_t start = 1577836800;          // 2020-01-01 00:00:00 UTC
  const std::int64_t stop = 1609459199;           // 2020-12-31 23:59:59 UTC
  struct Case {
    std::string name;
    std::int64_t mtime;
    bool inside;
  };
  const std::vector<Case> cases = {
      {"before.pf", start - 1, false},
      {"first.pf", start, true},
      {"middle.pf", 1590969600, true},
      {"last.pf", stop, true},
      {"after.pf", stop + 1, false},
      {"zero.pf", 0, false},
      {"negative.pf", -86400, false},
      {"beyond32.pf", 0x100000000LL, false},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write_text(c.name, "x");
    if (!set_mtime(path, c.mtime)) {
      ADD_FAILURE() << "can't set the time of " << c.name;
      continue;
    }
    EXPECT_EQ(qv::match_path(options, path, {}), c.inside) << c.name;
    EXPECT_EQ(qv::match_path(options, path, filters_for("*.pf")), c.inside) << c.name;
    EXPECT_EQ(qv::file_matches_filter(options, path, filters_for("*")), c.inside) << c.name;
    // Without a pattern the driver's test does not look at the window.
    EXPECT_TRUE(qv::file_matches_filter(options, path, {})) << c.name;
  }

  // Links are followed; what can't be looked at is outside.
  const std::string link = dir.file("link.pf");
  ASSERT_EQ(::symlink(dir.file("middle.pf").c_str(), link.c_str()), 0);
  const timespec epoch[2] = {{0, 0}, {0, 0}};  // the link's own time does not count
  ASSERT_EQ(::utimensat(AT_FDCWD, link.c_str(), epoch, AT_SYMLINK_NOFOLLOW), 0);
  EXPECT_TRUE(qv::match_path(options, link, {}));
  const std::string dangling = dir.file("dangling.pf");
  ASSERT_EQ(::symlink(dir.file("nowhere").c_str(), dangling.c_str()), 0);
  EXPECT_FALSE(qv::match_path(options, dangling, {}));
  EXPECT_FALSE(qv::match_path(options, dir.file("missing.pf"), {}));
  EXPECT_FALSE(qv::match_path(options, std::string("a\0b", 3), {}));

  // One bound alone.
  options.m_has_stop_time = false;
  EXPECT_TRUE(qv::match_path(options, dir.file("after.pf"), {}));
  EXPECT_FALSE(qv::match_path(options, dir.file("before.pf"), {}));
}

}  // namespace
