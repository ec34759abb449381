// Bulk runs of the built program: names piped in (-pipe) and directory
// trees (-enumdir), with real Prefetch files. Which files are handed to the
// decoder and in what order is read from the -diags file, which names every
// one of them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "lib/arg_list.h"
#include "tests/support/listing_order.h"
#include "tests/support/run_kerf.h"
#include "tests/support/sample_prefetch.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::breadth_first_files;
using kerf::testing::read_file_text;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;

const std::string kClearLine = "\x1b[2K\r" + std::string(27, ' ') + "\r";
const std::string kSeparator = " " + std::string(51, '=') + " \n\n";

// A Prefetch file as Windows 7 writes it ("SCCA" at offset 4) and one as
// Windows 10 stores it (a "MAM\x04" container).
const std::vector<std::uint8_t>& plain_prefetch() {
  static const std::vector<std::uint8_t> bytes =
      kerf::testing::make_sample({.version = 23,
                                  .exe_name = L"CMD.EXE",
                                  .exe_directory = L"WINDOWS\\SYSTEM32",
                                  .last_run = 130971962938281250ull})
          .bytes;
  return bytes;
}
const std::vector<std::uint8_t>& compressed_prefetch() {
  static const std::vector<std::uint8_t> bytes =
      kerf::testing::make_sample({.version = 30,
                                  .exe_name = L"NOTEPAD.EXE",
                                  .exe_directory = L"WINDOWS\\SYSTEM32",
                                  .last_run = 132971962938281250ull,
                                  .compress = true})
          .bytes;
  return bytes;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// What follows the run header (three lines and an empty one).
std::string after_header(const std::string& output) {
  std::size_t at = 0;
  for (int line = 0; line < 4; ++line) {
    const std::size_t end = output.find('\n', at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "no run header in: " << output;
      return {};
    }
    at = end + 1;
  }
  EXPECT_TRUE(output.starts_with("kerf ver: 1.40\n")) << output;
  return output.substr(at);
}

// The first field of each row of a CSV table (its header row left out).
std::vector<std::string> csv_names(const std::string& table) {
  std::vector<std::string> names;
  const std::vector<std::string> rows = lines_of(table);
  for (std::size_t i = 1; i < rows.size(); ++i) names.push_back(rows[i].substr(0, rows[i].find(',')));
  return names;
}

std::string joined_lines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

struct BulkRun {
  RunResult result;
  std::string body;                 // the output after the run header
  std::vector<std::string> handed;  // the names given to the decoder, in order
};

// Runs kerf with `args` plus a -diags file (kept outside the trees walked).
BulkRun run_bulk(std::vector<std::string> args, const RunOptions& options = {}) {
  const TempDir diags_dir;
  const std::string diags = diags_dir.file("diags.txt");
  args.push_back("-diags");
  args.push_back(diags);
  BulkRun run;
  run.result = kerf::testing::run_kerf(args, options);
  EXPECT_FALSE(run.result.timed_out) << qv::join_arguments(args);
  run.body = after_header(run.result.out);
  const std::vector<std::string> lines = lines_of(read_file_text(diags));
  for (std::size_t i = 1; i < lines.size(); ++i) {  // line 0 holds the command line
    EXPECT_TRUE(lines[i].starts_with("->")) << lines[i];
    run.handed.push_back(lines[i].substr(2));
  }
  return run;
}

RunOptions piped(const std::vector<std::string>& names) {
  RunOptions options;
  options.input = joined_lines(names);
  return options;
}

std::vector<std::string> only(const std::vector<std::string>& names, const std::string& root,
                              const std::set<std::string>& relative) {
  std::vector<std::string> kept;
  for (const std::string& name : names) {
    if (relative.contains(name.substr(root.size()))) kept.push_back(name);
  }
  return kept;
}

std::string message_for(const std::string& name) { return "prob reading file " + name + "\n"; }

TEST(BulkEnumdir, BreadthFirstInListingOrderDownToTheLevelAsked) {
  TempDir dir;
  for (const char* name : {"A.pf", "L1a/B.pf", "L1a/L2/C.pf", "L1a/L2/L3/D.pf", "L1b/E.pf"}) {
    dir.write(name, plain_prefetch());
  }
  dir.write_text("notes.txt", "not a Prefetch file");
  dir.write_text("L1b/junk.dat", "not one either");
  const std::string root = dir.path().string() + "/";
  for (unsigned levels : {0u, 1u, 2u, 3u}) {
    const std::vector<std::string> expected = breadth_first_files(root, levels);
    std::vector<std::string> args = {"-enumdir", root, "-csv"};
    if (levels > 0) args.insert(args.end(), {"-num_subdirs", std::to_string(levels)});
    const BulkRun run = run_bulk(args);
    EXPECT_EQ(run.handed, expected) << levels;
    std::vector<std::string> reported;
    for (const std::string& name : expected) {
      if (name.ends_with(".pf")) reported.push_back(base_name(name));
    }
    EXPECT_EQ(csv_names(run.body), reported) << levels;
    // The last file handed on decides.
    EXPECT_EQ(run.result.status, expected.back().ends_with(".pf") ? 0 : 255) << levels;
    EXPECT_EQ(run.result.err, kClearLine);  // files that fail to decode say nothing
  }
}

TEST(BulkEnumdir, WildcardComponentsAndRelativeStarts) {
  TempDir dir;
  for (const char* name : {"mnt/a/Windows/Prefetch/A.pf", "mnt/b/Windows/Prefetch/B.pf",
                           "mnt/c/Windows/Other/C.pf", "samples/S.pf"}) {
    dir.write(name, plain_prefetch());
  }
  const std::string mnt = dir.path().string() + "/mnt/";
  std::vector<std::string> expected;  // a, then b, in listing order
  for (const std::string& sub : kerf::testing::readdir_names(mnt)) {
    const std::string prefetch = mnt + sub + "/Windows/Prefetch/";
    for (const std::string& file : breadth_first_files(prefetch, 0)) expected.push_back(file);
  }
  const BulkRun wild = run_bulk({"-enumdir", mnt + "*/Windows/Prefetch", "-csv"});
  EXPECT_EQ(wild.handed, expected);
  EXPECT_EQ(wild.result.status, 0);

  // A name without '/' is taken with '\' as separator and finds nothing.
  RunOptions inside;
  inside.working_dir = dir.path().string();
  const BulkRun bare = run_bulk({"-enumdir", "samples", "-csv"}, inside);
  EXPECT_TRUE(bare.handed.empty());
  EXPECT_EQ(bare.result.status, 255);
  const BulkRun dotted = run_bulk({"-enumdir", "./samples", "-csv"}, inside);
  EXPECT_EQ(dotted.handed, std::vector<std::string>{"./samples/S.pf"});
  EXPECT_EQ(dotted.result.status, 0);
}

// The same filters screen piped names and found files alike.
TEST(BulkFilter, PatternsInBothModes) {
  TempDir dir;
  for (const char* name : {"a.pf", "x.pf.pf", "MyPartialName.pf", "other.txt", "partial/z.pf",
                           "Prefetch/p.pf", "prefetch2/q.pf", "a", "b", "c", "b,c"}) {
    dir.write(name, plain_prefetch());
  }
  dir.write("sig/compressed.pf", compressed_prefetch());
  const std::string root = dir.path().string() + "/";
  const std::vector<std::string> all = breadth_first_files(root, 1);
  ASSERT_EQ(all.size(), 12u);
  const std::set<std::string> everything = [&] {
    std::set<std::string> names;
    for (const std::string& name : all) names.insert(name.substr(root.size()));
    return names;
  }();
  const std::set<std::string> plain = [&] {
    std::set<std::string> names = everything;
    names.erase("sig/compressed.pf");
    return names;
  }();

  struct Case {
    std::vector<std::string> args;
    std::set<std::string> passing;
  };
  const std::vector<Case> cases = {
      {{"-filter", "*.pf"},
       {"a.pf", "MyPartialName.pf", "partial/z.pf", "Prefetch/p.pf", "prefetch2/q.pf",
        "sig/compressed.pf"}},
      {{"-filter", "*partial*"}, {"MyPartialName.pf"}},
      {{"-filter", "/prefetch"}, {"Prefetch/p.pf"}},
      {{"-filter", "a|b,c"}, {"a", "c", "b,c"}},  // a, "b,c", "a|b" and c
      {{"-filter", "a.pf", "-filter", "other*"}, {"a.pf", "other.txt"}},
      {{"-filter", "*"}, everything},
      {{"-filter", "x|*"}, everything},
      {{"-filter_sig", "4d414d04"}, {"sig/compressed.pf"}},
      {{"-filter_sig", "53434341|4"}, plain},
      {{"-filter_sig", "53434341|999999"}, {}},  // beyond every file's end
      {{"-filter", "*.txt", "-filter_sig", "4d414d04"}, {"other.txt", "sig/compressed.pf"}},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> expected = only(all, root, c.passing);
    const int status = expected.empty() ? 255 : 0;
    std::vector<std::string> walk_args = {"-enumdir", root, "-num_subdirs", "1", "-csv"};
    walk_args.insert(walk_args.end(), c.args.begin(), c.args.end());
    const BulkRun walked = run_bulk(walk_args);
    EXPECT_EQ(walked.handed, expected) << c.args[1];
    EXPECT_EQ(walked.result.status, status) << c.args[1];
    EXPECT_EQ(walked.result.err, kClearLine) << c.args[1];

    std::vector<std::string> pipe_args = {"-pipe", "-csv"};
    pipe_args.insert(pipe_args.end(), c.args.begin(), c.args.end());
    const BulkRun pipe = run_bulk(pipe_args, piped(all));
    EXPECT_EQ(pipe.handed, expected) << c.args[1];
    EXPECT_EQ(pipe.result.status, status) << c.args[1];
  }
}

TEST(BulkFilter, TimeWindowAlwaysWhenWalkingOnlyWithAPatternWhenPiped) {
  TempDir dir;
  struct File {
    const char* name;
    std::int64_t mtime;
  };
  const File files[] = {{"2019.pf", 1560000000}, {"2020.pf", 1590000000},
                        {"2021.pf", 1620000000}, {"zero.pf", 0}};
  std::vector<std::string> piped_names;
  for (const File& file : files) {
    const std::string path = dir.write(file.name, plain_prefetch());
    const timespec times[2] = {{file.mtime, 0}, {file.mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    piped_names.push_back(path);
  }
  const std::string root = dir.path().string() + "/";
  const std::vector<std::string> window = {"-csv", "-cmd_start_time", "2020/01/01",
                                           "-cmd_stop_time", "2020-12-31"};
  const std::vector<std::string> inside = {root + "2020.pf"};
  struct Case {
    std::string what;
    std::vector<std::string> args;
    bool from_pipe;
    std::vector<std::string> handed;
  };
  const std::vector<Case> cases = {
      {"walk", {"-enumdir", root}, false, inside},
      {"walk with pattern", {"-enumdir", root, "-filter", "*.pf"}, false, inside},
      {"pipe", {"-pipe"}, true, piped_names},
      {"pipe with *", {"-pipe", "-filter", "*"}, true, inside},
      {"pipe with pattern", {"-pipe", "-filter", "2*"}, true, inside},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), window.begin(), window.end());
    const BulkRun run = run_bulk(args, c.from_pipe ? piped(piped_names) : RunOptions{});
    std::vector<std::string> handed = run.handed;
    if (!c.from_pipe) std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, c.handed) << c.what;
  }
}

TEST(BulkOutput, ReportsSeparatorsAndHeadersComposeAsInSingleRuns) {
  TempDir dir;
  const std::string one = dir.write("ONE.pf", plain_prefetch());
  const std::string two = dir.write("TWO.pf", compressed_prefetch());
  const std::string bad = dir.write_text("bad.pf", "not a Prefetch file");
  const auto single = [&](const std::string& file, const std::vector<std::string>& layout) {
    std::vector<std::string> args = {file};
    args.insert(args.end(), layout.begin(), layout.end());
    return after_header(kerf::testing::run_kerf(args).out);
  };

  // Long form: a separator first and after each reported file.
  const BulkRun longform = run_bulk({"-pipe"}, piped({one, bad, two}));
  EXPECT_EQ(longform.body, kSeparator + single(one, {}) + kSeparator + single(two, {}) + kSeparator);
  EXPECT_EQ(longform.result.status, 0);

  // Delimited layouts: one table header, no separators.
  for (const std::vector<std::string>& layout :
       {std::vector<std::string>{"-csv"}, {"-csvl2t"}, {"-bodyfile"}}) {
    std::vector<std::string> args = {"-pipe"};
    args.insert(args.end(), layout.begin(), layout.end());
    const BulkRun table = run_bulk(args, piped({one, bad, two}));
    const std::string first = single(one, layout);
    const std::string second = single(two, layout);
    const std::string header = first.substr(0, first.find('\n') + 1);
    ASSERT_TRUE(second.starts_with(header)) << layout[0];
    EXPECT_EQ(table.body, first + second.substr(header.size())) << layout[0];
  }

  // Both sources without -verbose: the " | " table, names from the pipe only.
  const std::string elsewhere = dir.path().string() + "/elsewhere/";
  dir.write("elsewhere/X.pf", plain_prefetch());
  const BulkRun both = run_bulk({"-pipe", "-enumdir", elsewhere}, piped({one}));
  EXPECT_EQ(both.handed, std::vector<std::string>{one});
  const std::vector<std::string> rows = lines_of(both.body);
  ASSERT_EQ(rows.size(), 2u) << both.body;
  EXPECT_TRUE(std::regex_search(rows[1], std::regex(R"(^ONE\.pf +\| CMD\.EXE +\| )"))) << rows[1];
  const BulkRun verbose = run_bulk({"-pipe", "-enumdir", elsewhere, "-verbose"}, piped({one}));
  EXPECT_EQ(verbose.body, kSeparator + single(one, {}) + kSeparator);
}

TEST(BulkOutput, StatusIsTheLastFilesAndNoFileFails) {
  TempDir dir;
  const std::string good = dir.write("GOOD.pf", plain_prefetch());
  const std::string bad = dir.write_text("bad.pf", "not a Prefetch file");
  struct Case {
    std::string what;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"good last", {"-pipe", "-csv"}, bad + "\n" + good + "\n", 0, ""},
      {"bad last", {"-pipe", "-csv"}, good + "\n" + bad + "\n", 255, ""},
      {"empty input, long form", {"-pipe"}, "", 255, kSeparator},
      {"empty input, table", {"-pipe", "-csv"}, "", 255, ""},
      {"only empty lines", {"-pipe", "-csv"}, "\n\r\n\n", 255, ""},
      {"missing start directory", {"-enumdir", dir.file("missing") + "/"}, "", 255, kSeparator},
      {"missing start directory, table", {"-enumdir", dir.file("missing") + "/", "-csv"}, "", 255,
       ""},
      {"empty start directory: nothing to open", {"-enumdir", ""}, "", 255, ""},
      {"words left over are ignored", {"-pipe", "-csv", "leftover.pf", "more"}, good + "\n", 0, ""},
  };
  for (const Case& c : cases) {
    RunOptions options;
    options.input = c.input;
    const BulkRun run = run_bulk(c.args, options);
    EXPECT_EQ(run.result.status, c.status) << c.what;
    EXPECT_EQ(run.result.err, kClearLine) << c.what;
    if (c.status == 255 && c.input.find(".pf") == std::string::npos) {
      EXPECT_EQ(run.body, c.body) << c.what;
      EXPECT_TRUE(run.handed.empty()) << c.what;
    }
  }
}

TEST(BulkOutput, DiagnosticsNameEachFileWithReferencesExpanded) {
  TempDir dir;
  const std::string file = dir.write("A.pf", plain_prefetch());
  RunOptions options;
  options.env = {{"KERF_BULK_DIR", dir.path().string()}};
  options.input = "%KERF_BULK_DIR%/A.pf\n \n";
  const BulkRun run = run_bulk({"-pipe", "-csv"}, options);
  EXPECT_EQ(run.handed, (std::vector<std::string>{file, " "}));
  EXPECT_EQ(csv_names(run.body), std::vector<std::string>{"A.pf"});
  EXPECT_EQ(run.result.err, message_for(" ") + kClearLine);  // spaces are a name too
  EXPECT_EQ(run.result.status, 255);
}

TEST(BulkOutput, AppendKeepsWhatTheResultsFileHeld) {
  TempDir dir;
  const std::string file = dir.write("A.pf", plain_prefetch());
  const std::string results = dir.file("results.csv");
  const std::string earlier = "earlier results\n";
  dir.write_text("results.csv", earlier);
  const std::vector<std::string> pipe_args = {"-pipe", "-csv", "-out", results, "-append"};
  EXPECT_EQ(kerf::testing::run_kerf(pipe_args, piped({file})).status, 0);
  const std::vector<std::string> walk_args = {"-enumdir", dir.path().string() + "/", "-csv",
                                              "-filter", "*.pf", "-out", results, "-append"};
  EXPECT_EQ(kerf::testing::run_kerf(walk_args).status, 0);
  const std::string text = read_file_text(results);
  ASSERT_TRUE(text.starts_with(earlier));
  const std::string first_run = text.substr(earlier.size());
  const std::size_t second_start = first_run.find("kerf ver: 1.40", 1);
  ASSERT_NE(second_start, std::string::npos);
  EXPECT_EQ(csv_names(after_header(first_run.substr(0, second_start))),
            std::vector<std::string>{"A.pf"});
  EXPECT_EQ(csv_names(after_header(first_run.substr(second_start))),
            std::vector<std::string>{"A.pf"});

  // Without -append the file starts afresh.
  EXPECT_EQ(kerf::testing::run_kerf({"-pipe", "-csv", "-out", results}, piped({file})).status, 0);
  EXPECT_TRUE(read_file_text(results).starts_with("kerf ver: 1.40\n"));
}

// Makes a UNIX-domain socket file at `path`.
bool make_socket_file(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

// Names that can't be decoded, in a tree and in a piped list: each one is
// reported as unreadable, none stops or stalls the run.
class HostileInputNames : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path().string() + "/";
    std::filesystem::create_directory(root + "sub");
    ASSERT_EQ(::mkfifo((root + "fifo.pf").c_str(), 0600), 0);
    ASSERT_TRUE(make_socket_file(root + "sock.pf"));
    ASSERT_EQ(::symlink((root + "nowhere").c_str(), (root + "dangling.pf").c_str()), 0);
    ASSERT_EQ(::symlink((root + "loop.pf").c_str(), (root + "loop.pf").c_str()), 0);
    ASSERT_EQ(::symlink((root + "sub").c_str(), (root + "dirlink.pf").c_str()), 0);
    // A real Prefetch file whose name is not UTF-8 (the file layer only
    // opens UTF-8 names): handed on, so that the examiner hears of it.
    dir.write("bad\xff.pf", plain_prefetch());
    good = dir.write("GOOD.pf", plain_prefetch());
  }
  TempDir dir;
  std::string root;
  std::string good;
};

TEST_F(HostileInputNames, PipedNamesFailOneByOne) {
  const std::string long_name = root + std::string(5000, 'x');
  const std::vector<std::string> names = {
      root + "sub", root + "fifo.pf", root + "sock.pf", root + "dangling.pf", root + "loop.pf",
      root + "dirlink.pf", root + "bad\xff.pf", root + "missing.pf", long_name, "   ", good};
  const BulkRun run = run_bulk({"-pipe", "-csv"}, piped(names));
  // A name longer than a line buffer arrives as pieces of 4095 bytes.
  std::vector<std::string> expected = names;
  const auto at = std::find(expected.begin(), expected.end(), long_name);
  *at = long_name.substr(4095);
  expected.insert(at, long_name.substr(0, 4095));
  EXPECT_EQ(run.handed, expected);
  std::string messages;
  for (std::size_t i = 0; i + 1 < expected.size(); ++i) messages += message_for(expected[i]);
  EXPECT_EQ(run.result.err, messages + kClearLine);
  EXPECT_EQ(csv_names(run.body), std::vector<std::string>{"GOOD.pf"});
  EXPECT_EQ(run.result.status, 0);

  // A NUL cuts nothing short: the line names no file.
  RunOptions with_nul;
  with_nul.input = good + std::string("\0junk\n", 6);
  const BulkRun nul = run_bulk({"-pipe", "-csv"}, with_nul);
  EXPECT_EQ(nul.result.status, 255);
  EXPECT_TRUE(csv_names(nul.body).empty());
}

TEST_F(HostileInputNames, FoundFilesFailOneByOne) {
  const std::vector<std::string> expected = breadth_first_files(root, 1);
  ASSERT_EQ(expected.size(), 7u);  // sub/ is empty
  const BulkRun run = run_bulk({"-enumdir", root, "-num_subdirs", "1", "-csv"});
  EXPECT_EQ(run.handed, expected);
  std::string messages;
  for (const std::string& name : expected) {
    if (name != good) messages += message_for(name);
  }
  EXPECT_EQ(run.result.err, messages + kClearLine);
  EXPECT_EQ(csv_names(run.body), std::vector<std::string>{"GOOD.pf"});
  EXPECT_EQ(run.result.status, expected.back() == good ? 0 : 255);
}

// Runs kerf as an unprivileged user when the tests run as root, for whom no
// permission bit counts.
std::optional<RunResult> run_unprivileged(const std::vector<std::string>& args,
                                          const RunOptions& options) {
  if (::geteuid() != 0) return kerf::testing::run_kerf(args, options);
  const char* setpriv = "/usr/bin/setpriv";
  if (::access(setpriv, X_OK) != 0) return std::nullopt;
  std::vector<std::string> wrapped = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                      kerf::testing::kerf_exe()};
  wrapped.insert(wrapped.end(), args.begin(), args.end());
  return kerf::testing::run_program(setpriv, wrapped, options);
}

TEST(BulkPermissions, LockedDirectoriesAreSkippedSilentlyWhenWalking) {
  TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string root = dir.path().string() + "/";
  const std::string open_file = dir.write("open/A.pf", plain_prefetch());
  const std::string locked_file = dir.write("locked/B.pf", plain_prefetch());
  for (const char* sub : {"open", "locked/"}) {
    std::filesystem::permissions(root + sub, std::filesystem::perms::all);
  }
  ::chmod(open_file.c_str(), 0644);
  ::chmod((root + "locked").c_str(), 0);

  const auto walked = run_unprivileged({"-enumdir", root, "-num_subdirs", "1", "-csv"}, {});
  if (!walked) GTEST_SKIP() << "running as root without setpriv";
  EXPECT_EQ(walked->status, 0);
  EXPECT_EQ(walked->err, kClearLine);
  EXPECT_EQ(csv_names(after_header(walked->out)), std::vector<std::string>{"A.pf"});

  RunOptions list;
  list.input = root + "locked\n" + locked_file + "\n" + open_file + "\n";
  const auto pipe = run_unprivileged({"-pipe", "-csv"}, list);
  ASSERT_TRUE(pipe);
  EXPECT_EQ(pipe->err, message_for(root + "locked") + message_for(locked_file) + kClearLine);
  EXPECT_EQ(pipe->status, 0);
}

// Quotes a word for the shell that `script` starts.
std::string shell_quoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs kerf on a pseudo-terminal; returns what the terminal received.
std::optional<std::string> run_on_terminal(const std::vector<std::string>& args,
                                           const std::string& list_file) {
  const char* script = "/usr/bin/script";
  if (::access(script, X_OK) != 0) return std::nullopt;
  std::string command = shell_quoted(kerf::testing::kerf_exe());
  for (const std::string& arg : args) command += " " + shell_quoted(arg);
  command += " < " + shell_quoted(list_file);
  const RunResult result = kerf::testing::run_program(script, {"-qfec", command, "/dev/null"});
  EXPECT_FALSE(result.timed_out);
  return result.out;
}

TEST(BulkProgress, ShownOnATerminalAndOffItWhileMessagesAndReportsAreWritten) {
  TempDir dir;
  const std::string good = dir.write("GOOD.pf", plain_prefetch());
  const std::string missing = dir.file("missing.pf");
  const std::string list = dir.write_text("list.txt", good + "\n" + missing + "\n");
  const std::string progress = "\r1 files, 1 reported, 0 failed: " + good + "\x1b[K";
  const std::string erase = "\r\x1b[K";

  const std::string end_clearing = "\x1b[2K\r" + std::string(27, ' ') + "\r";
  // After the message the line may be drawn once more when the run was slow
  // enough, and is then taken away again.
  const std::string redrawn = "\r2 files, 1 reported, 1 failed: " + missing + "\x1b[K" + erase;
  const auto ends_well = [&](const std::string& rest) {
    const std::string message = erase + "prob reading file " + missing + "\r\n";
    return rest == message + end_clearing || rest == message + redrawn + end_clearing;
  };

  // Reports into a file: the line stands after the first file and is taken
  // away before the message about the second (the terminal turns "\n" into
  // "\r\n").
  const auto to_file =
      run_on_terminal({"-pipe", "-csv", "-out", dir.file("results.csv")}, list);
  if (!to_file) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  ASSERT_TRUE(to_file->starts_with(progress)) << *to_file;
  EXPECT_TRUE(ends_well(to_file->substr(progress.size()))) << *to_file;

  // Reports on the same terminal: the line is gone before each report.
  const auto on_terminal = run_on_terminal({"-pipe", "-csv"}, list);
  ASSERT_TRUE(on_terminal);
  const std::size_t drawn = on_terminal->find(progress);
  ASSERT_NE(drawn, std::string::npos) << *on_terminal;
  EXPECT_TRUE(ends_well(on_terminal->substr(drawn + progress.size()))) << *on_terminal;
  EXPECT_NE(on_terminal->find("\r\nGOOD.pf,CMD.EXE,"), std::string::npos);

  // Standard error as a pipe: the messages only.
  RunOptions piped_list;
  piped_list.input = read_file_text(list);
  const RunResult plain = kerf::testing::run_kerf({"-pipe", "-csv"}, piped_list);
  EXPECT_EQ(plain.err, message_for(missing) + kClearLine);
  // -quiet: no line even on a terminal.
  const auto quiet = run_on_terminal({"-pipe", "-csv", "-quiet", "-out", dir.file("q.csv")}, list);
  ASSERT_TRUE(quiet);
  EXPECT_EQ(*quiet, "");
}

}  // namespace
