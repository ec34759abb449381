// Bulk runs of the built program: names piped in (-pipe) or typed, and
// directory trees (-enumdir), with real Prefetch files. Which files are
// handed to the decoder, and in what order, is read from the -diags file,
// which names every one of them.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "lib/text/escape.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::after_header;
using kerf::testing::piping;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
using Names = kerf::testing::Args;

const std::string kSeparator = std::string(" ").append(51, '=').append(" \n\n");

// A Prefetch file as Windows 7 writes it, and one in the compressed
// container Windows 10 stores it in.
std::vector<std::uint8_t> made_prefetch(std::uint32_t version, const std::wstring& exe, std::uint64_t last_run) {
  return kerf::testing::PrefetchImageBuilder(version)
      .exe_name(exe)
      .run_times({last_run})
      .run_count(1)
      .file_names({L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\" + exe})
      .add_volume({L"\\DEVICE\\HARDDISKVOLUME1", 0x1234abcd, 130922674662434681ull, {L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS"}})
      .build();
}
const std::vector<std::uint8_t> kPlain = made_prefetch(23, L"CMD.EXE", 130971962938281250ull);
const std::vector<std::uint8_t> kCompressed =
    kerf::testing::make_mam_container(made_prefetch(30, L"NOTEPAD.EXE", 132971962938281250ull));

// The files (everything but real directories) below `root`, which ends in
// '/', down to `levels` levels of subdirectories: the order in which a walk
// must hand them out, worked out independently of the program (each
// directory read with opendir/readdir, levels taken breadth-first).
Names breadth_first_files(const std::string& root, unsigned levels) {
  Names files;
  std::deque<std::pair<std::string, unsigned>> pending{{root, 0}};
  for (; !pending.empty(); pending.pop_front()) {
    const auto [dir, depth] = pending.front();
    DIR* handle = ::opendir(dir.c_str());
    while (const dirent* found = handle == nullptr ? nullptr : ::readdir(handle)) {
      const std::string name = found->d_name;
      struct stat status {};
      if (name == "." || name == "..") continue;
      if (::lstat((dir + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        if (depth < levels) pending.emplace_back(dir + name + "/", depth + 1);
      } else {
        files.push_back(dir + name);
      }
    }
    if (handle != nullptr) ::closedir(handle);
  }
  return files;
}

// The first field of each row of a CSV table (its header row left out).
Names csv_names(const std::string& table) {
  Names names = kerf::testing::lines_of(table);
  if (!names.empty()) names.erase(names.begin());
  for (std::string& row : names) row = row.substr(0, row.find(','));
  return names;
}

// A name as messages and the diagnostics file show it: escaped, so that a
// name can't steer the terminal or forge a line (the escapes themselves are
// spelled out in test_cli_driver.cpp).
std::string shown(const std::string& name) {
  std::string text;
  kerf::text::append_escaped(text, name);
  return text;
}

// The message for a file handed to the decoder that gave no report.
std::string failed(const std::string& name, const std::string& reason) {
  return "prob reading file " + shown(name) + ": " + reason + "\n";
}

// The message for a name never handed to the decoder.
std::string skipped(const std::string& name, const std::string& reason) {
  return "skipped " + shown(name) + ": " + reason + "\n";
}

// The last line of a bulk run on standard error.
std::string summary(int files, int reported, bool unreadable_directory = false) {
  const std::string unreadable = unreadable_directory ? ", 1 directory unreadable" : "";
  return "kerf: " + std::to_string(files) + (files == 1 ? " file: " : " files: ") + std::to_string(reported) +
         " reported, " + std::to_string(files - reported) + " failed" + unreadable + "\n";
}

// Sets the access time of `path` to 2001, before its modification time, so
// that even a "relatime" mount would move it on a read.
void set_old_access_time(const std::string& path) {
  const timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

bool has_old_access_time(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && status.st_atim.tv_sec == 1000000000;
}

struct BulkRun {
  RunResult result;
  std::string body;  // the output after the run header
  Names handed;      // the names given to the decoder, in order (escaped)
};

Names escaped(Names names) {
  for (std::string& name : names) name = shown(name);
  return names;
}

// Runs kerf with `args` plus a -diags file (kept outside the trees walked).
BulkRun run_bulk(Names args, const RunOptions& options = {}) {
  const TempDir diags_dir;
  args.insert(args.end(), {"-diags", diags_dir.file("diags.txt")});
  BulkRun run{kerf::testing::run_kerf(args, options), {}, {}};
  run.body = after_header(run.result.out);
  run.handed = kerf::testing::lines_of(kerf::testing::read_file_text(diags_dir.file("diags.txt")));
  if (!run.handed.empty()) run.handed.erase(run.handed.begin());  // the command line
  for (std::string& line : run.handed) {
    EXPECT_TRUE(line.starts_with("->")) << line;
    line.erase(0, 2);
  }
  return run;
}

TEST(BulkEnumdir, BreadthFirstInListingOrderDownToTheLevelAsked) {
  TempDir dir;
  // Below the start, a directory named "*" is just a name.
  for (const char* name : {"A.pf", "L1a/B.pf", "L1a/L2/C.pf", "L1a/L2/L3/D.pf", "L1b/E.pf", "L1a/*/S.pf"}) {
    dir.write(name, kPlain);
  }
  dir.write_text("notes.txt", "not a Prefetch file");
  dir.write_text("L1b/junk.dat", "not one either");
  const std::string root = dir.path().string() + "/";
  Names in_l1b = breadth_first_files(root + "L1b/", 0);
  for (std::string& name : in_l1b) name.replace(0, root.size(), "./");
  RunOptions inside;
  inside.working_dir = root;
  // The start as typed may pass through a link: the examiner chose it.
  const TempDir links;
  const std::string linked_start = links.file("L1a");
  ASSERT_EQ(::symlink((root + "L1a").c_str(), linked_start.c_str()), 0);

  struct Case {
    Names args;
    Names expected;
    RunOptions options;
  };
  const std::vector<Case> cases = {
      {{"-enumdir", root}, breadth_first_files(root, 0), {}},
      {{"-enumdir", root, "-num_subdirs", "1"}, breadth_first_files(root, 1), {}},
      {{"-enumdir", root, "-num_subdirs", "2"}, breadth_first_files(root, 2), {}},
      // A "*" component of the start stands for every subdirectory.
      {{"-enumdir", root + "*/L2", "-num_subdirs", "1"}, breadth_first_files(root + "L1a/L2/", 1), {}},
      // Without any "/" a name is read as a Windows path, finds nothing, and
      // the examiner hears how to name the folder.
      {{"-enumdir", "L1b"}, {}, inside},
      {{"-enumdir", "./L1b"}, in_l1b, inside},
      {{"-enumdir", linked_start, "-num_subdirs", "1"}, breadth_first_files(linked_start + "/", 1), {}},
  };
  // Listing a directory must not move its access time (set after the lists
  // above were made).
  const Names directories = {root, root + "L1a", root + "L1a/L2", root + "L1a/L2/L3", root + "L1b", root + "L1a/*"};
  for (const std::string& directory : directories) set_old_access_time(directory);
  for (const Case& c : cases) {
    Names args = c.args;
    args.push_back("-csv");
    const BulkRun run = run_bulk(args, c.options);
    EXPECT_EQ(run.handed, c.expected) << c.args[1];
    Names reported;
    std::string messages = c.expected.empty() ? "prob reading directory L1b: no such file or directory (a name without "
                                                "\"/\" is read with \"\\\" separators: write ./L1b)\n"
                                              : "";
    for (const std::string& name : c.expected) {
      if (name.ends_with(".pf")) {
        reported.push_back(name.substr(name.rfind('/') + 1));
      } else {
        messages += failed(name, "not a Prefetch file");
      }
    }
    EXPECT_EQ(csv_names(run.body), reported) << c.args[1];
    // Every file handed on must be reported; no file at all is a failure.
    const bool all_reported = !c.expected.empty() && reported.size() == c.expected.size();
    EXPECT_EQ(run.result.status, all_reported ? 0 : 255) << c.args[1];
    const int files = static_cast<int>(c.expected.size());
    EXPECT_EQ(run.result.err, messages + summary(files, static_cast<int>(reported.size()), c.expected.empty()))
        << c.args[1];
  }
  for (const std::string& directory : directories) EXPECT_TRUE(has_old_access_time(directory)) << directory;
}

// The same filters and the same time window screen typed and piped names
// and found files alike.
TEST(BulkFilter, PatternsAndTimeWindowInBothModes) {
  TempDir dir;
  for (const char* name : {"a.pf", "x.pf.pf", "MyPartialName.pf", "partial/z.pf", "Prefetch/p.pf",
                           "prefetch2/q.pf", "a", "b,c"}) {
    dir.write(name, kPlain);
  }
  dir.write("sig/compressed.pf", kCompressed);
  // Modified just before, at and just after the bounds of 2020 (UTC),
  // before 1970, beyond 32 bits and at 0.
  for (const std::int64_t mtime : {1577836799LL, 1577836800LL, 1609459199LL, 1609459200LL, -86400LL,
                                   0x100000000LL, 0LL}) {
    const std::string file = dir.write("times/" + std::to_string(mtime), kPlain);
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  }
  const std::string root = dir.path().string() + "/";
  const Names all = breadth_first_files(root, 1);
  ASSERT_EQ(all.size(), 16u);
  std::set<std::string> everything;
  for (const std::string& name : all) everything.insert(name.substr(root.size()));
  std::set<std::string> plain = everything;
  plain.erase("sig/compressed.pf");
  const std::set<std::string> in_2020 = {"times/1577836800", "times/1609459199"};
  const Names window = {"-cmd_start_time", "2020/01/01", "-cmd_stop_time", "2020-12-31"};
  Names window_and_pattern = window;
  window_and_pattern.insert(window_and_pattern.end(), {"-filter", "*"});
  // Empty lines, and a line end from Windows, name no file.
  Names piped_names = all;
  piped_names.insert(piped_names.begin() + 1, {"", "\r"});
  struct Case {
    Names args;
    std::set<std::string> passing;  // relative to the root
  };
  const std::vector<Case> cases = {
      {{"-filter", "*.pf"},
       {"a.pf", "MyPartialName.pf", "partial/z.pf", "Prefetch/p.pf", "prefetch2/q.pf", "sig/compressed.pf"}},
      {{"-filter", "*partial*"}, {"MyPartialName.pf"}},
      {{"-filter", "/prefetch"}, {"Prefetch/p.pf"}},
      {{"-filter", "x|*"}, everything},
      {{"-filter_sig", "4d414d04"}, {"sig/compressed.pf"}},
      {{"-filter", "*.pf.pf", "-filter_sig", "53434341|4"}, plain},
      {{"-filter_sig", "53434341|999999"}, {}},  // beyond every file's end
      {window, in_2020},
      {window_and_pattern, in_2020},
  };
  for (const Case& c : cases) {
    Names walk_args = {"-enumdir", root, "-num_subdirs", "1", "-csv"};
    Names pipe_args = {"-pipe", "-csv"};
    Names typed_args = all;
    typed_args.push_back("-csv");
    for (Names* args : {&walk_args, &pipe_args, &typed_args}) args->insert(args->end(), c.args.begin(), c.args.end());
    for (const std::string mode : {"walked", "piped", "typed"}) {
      Names expected;
      for (const std::string& name : all) {
        if (c.passing.contains(name.substr(root.size()))) expected.push_back(name);
      }
      const BulkRun run = mode == "walked"  ? run_bulk(walk_args)
                          : mode == "piped" ? run_bulk(pipe_args, piping(piped_names))
                                            : run_bulk(typed_args);
      EXPECT_EQ(run.handed, expected) << c.args[1] << " " << mode;
      EXPECT_EQ(run.result.status, expected.empty() ? 255 : 0) << c.args[1];
      const int files = static_cast<int>(expected.size());
      EXPECT_EQ(run.result.err, summary(files, files)) << c.args[1];
    }
  }
}

TEST(BulkOutput, ReportsSeparatorsAndHeadersComposeAsInSingleRuns) {
  TempDir dir;
  const std::string one = dir.write("ONE.pf", kPlain);
  const std::string two = dir.write("TWO.pf", kCompressed);
  const std::string bad = dir.write_text("bad.pf", "not a Prefetch file");
  const auto single = [](const std::string& file, const std::string& layout = "-longform") {
    return after_header(kerf::testing::run_kerf({file, layout}).out);
  };
  // Long form: a separator first and after each reported file.
  EXPECT_EQ(run_bulk({"-pipe"}, piping({one, bad, two})).body,
            kSeparator + single(one) + kSeparator + single(two) + kSeparator);
  // Delimited layouts: one table header, no separators; names typed on the
  // command line make a bulk run as piped ones do.
  for (const std::string& layout : Names{"-csv", "-csvl2t", "-bodyfile"}) {
    const std::string first = single(one, layout);
    const std::string second = single(two, layout);
    const std::size_t header = first.find('\n') + 1;
    ASSERT_EQ(first.substr(0, header), second.substr(0, header));
    const BulkRun typed = run_bulk({one, bad, two, layout});
    EXPECT_EQ(typed.body, first + second.substr(header)) << layout;
    EXPECT_EQ(typed.result.err, failed(bad, "not a Prefetch file") + summary(3, 2)) << layout;
    EXPECT_EQ(typed.result.status, 255) << layout;
  }
  // Both sources: names from the pipe only (written as the table, see
  // test_cli_layouts.cpp); with -verbose, the long form.
  const std::string elsewhere = dir.path().string() + "/elsewhere/";
  dir.write("elsewhere/X.pf", kPlain);
  EXPECT_EQ(run_bulk({"-pipe", "-enumdir", elsewhere}, piping({one})).handed, Names{one});
  EXPECT_EQ(run_bulk({"-pipe", "-enumdir", elsewhere, "-verbose"}, piping({one})).body,
            kSeparator + single(one) + kSeparator);
}

// Makes a UNIX-domain socket file at `path`.
bool make_socket_file(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (fd < 0 || path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

// Names that can't be decoded, in a tree and in a piped list: each one is
// reported with its reason, none stops or stalls the run, and a symbolic
// link (found by kerf, not typed by the examiner) is never followed.
class HostileInputNames : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(root + "sub");
    ASSERT_EQ(::mkfifo((root + "fifo.pf").c_str(), 0600), 0);
    ASSERT_TRUE(make_socket_file(root + "sock.pf"));
    ASSERT_EQ(::symlink((root + "nowhere").c_str(), (root + "dangling.pf").c_str()), 0);
    ASSERT_EQ(::symlink((root + "loop.pf").c_str(), (root + "loop.pf").c_str()), 0);
    ASSERT_EQ(::symlink((root + "sub").c_str(), (root + "dirlink.pf").c_str()), 0);
    ASSERT_EQ(::symlink(good.c_str(), (root + "goodlink.pf").c_str()), 0);
    // A directory link out of the tree, to a real Prefetch file.
    outside.write("OUT.pf", kPlain);
    ASSERT_EQ(::symlink(outside.path().c_str(), (root + "outlink").c_str()), 0);
    // A real Prefetch file whose name is not UTF-8, as copied or carved
    // trees hold them: opened by its bytes and reported like any other.
    dir.write("bad\xff.pf", kPlain);
  }
  // The message for each name (none for the two good files); a name that
  // is not in the tree names no file, or one whose name is too long.
  std::string message_for(const std::string& name) const {
    const std::string base = name.starts_with(root) ? name.substr(root.size()) : "";
    if (base == "sub") return failed(name, "is a directory");
    if (base == "fifo.pf" || base == "sock.pf" || name == "/dev/null") return failed(name, "not a regular file");
    if (base.find("link") != std::string::npos || base == "dangling.pf" || base == "loop.pf") {
      return skipped(name, "symbolic link, not followed");
    }
    if (name == good || name.find('\xff') != std::string::npos) return "";
    return failed(name, name.find(std::string(300, 'x')) != std::string::npos ? "file name too long"
                                                                              : "no such file or directory");
  }
  // What standard error must hold after a run over `names`.
  std::string messages_for(const Names& names) const {
    std::string messages;
    int failures = 0;
    for (const std::string& name : names) {
      messages += message_for(name);
      if (message_for(name).starts_with("prob")) ++failures;
    }
    return messages + summary(failures + 2, 2);
  }
  TempDir dir;
  TempDir outside;
  const std::string root = dir.path().string() + "/";
  const std::string good = dir.write("GOOD.pf", kPlain);
};

TEST_F(HostileInputNames, PipedNamesFailOneByOne) {
  const std::string long_name = root + std::string(5000, 'x');
  const Names names = {root + "sub",        root + "fifo.pf",    root + "sock.pf",    root + "dangling.pf",
                       root + "loop.pf",    root + "dirlink.pf", root + "goodlink.pf", root + "bad\xff.pf",
                       root + "outlink/OUT.pf", "/dev/null",
                       root + "gone\x1b]0;x\x07.pf", long_name, "   ", "%KERF_BULK_DIR%/GOOD.pf", good};
  RunOptions options = piping(names);
  options.env = {{"KERF_BULK_DIR", dir.path().string()}};
  const BulkRun run = run_bulk({"-pipe", "-csv"}, options);
  // A name longer than the line buffer arrives as pieces of 4095 bytes;
  // spaces are a name too; a piped name is never expanded from the
  // environment (the file system named it, not the examiner).
  Names expected = names;
  const auto at = std::find(expected.begin(), expected.end(), long_name);
  *at = long_name.substr(4095);
  expected.insert(at, long_name.substr(0, 4095));
  EXPECT_EQ(run.handed, escaped(expected));
  EXPECT_EQ(run.result.err, messages_for(expected));
  EXPECT_EQ(csv_names(run.body), (Names{"bad\\xff.pf", "GOOD.pf"}));
  EXPECT_EQ(run.result.status, 255);

  // A NUL cuts nothing short: the line names no file.
  RunOptions with_nul;
  with_nul.input = good + std::string("\0junk\n", 6);
  const BulkRun nul = run_bulk({"-pipe", "-csv"}, with_nul);
  EXPECT_EQ(nul.result.status, 255);
  EXPECT_TRUE(csv_names(nul.body).empty());
}

TEST_F(HostileInputNames, FoundFilesFailOneByOne) {
  const Names expected = breadth_first_files(root, 1);
  ASSERT_EQ(expected.size(), 9u);  // sub/ is empty
  // Every name ends in ".pf" but "outlink": a link to a directory is named
  // whatever the filter, as the part of the tree it leads to is not searched.
  const BulkRun run = run_bulk({"-enumdir", root, "-num_subdirs", "1", "-csv", "-filter", "*.pf"});
  EXPECT_EQ(run.handed, escaped(expected));
  EXPECT_EQ(run.result.err, messages_for(expected));
  Names reported;
  for (const std::string& name : expected) {
    if (message_for(name).empty()) reported.push_back(shown(name.substr(root.size())));
  }
  EXPECT_EQ(csv_names(run.body), reported);
  EXPECT_EQ(run.result.status, 255);
}

// Runs kerf as an unprivileged user when the tests run as root, for whom no
// permission bit counts.
std::optional<RunResult> run_unprivileged(const Names& args, const RunOptions& options) {
  if (::geteuid() != 0) return kerf::testing::run_kerf(args, options);
  const char* setpriv = "/usr/bin/setpriv";
  if (::access(setpriv, X_OK) != 0) return std::nullopt;
  Names wrapped = {"--reuid=65534", "--regid=65534", "--clear-groups", kerf::testing::kerf_exe()};
  wrapped.insert(wrapped.end(), args.begin(), args.end());
  return kerf::testing::run_program(setpriv, wrapped, options);
}

TEST(BulkPermissions, LockedDirectoriesAreNamedWhenWalking) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  const std::string open_file = dir.write("open/A.pf", kPlain);
  const std::string locked_file = dir.write("locked/B.pf", kPlain);
  for (const std::string& path : {root, root + "open"}) ::chmod(path.c_str(), 0755);
  ::chmod(open_file.c_str(), 0644);
  ::chmod((root + "locked").c_str(), 0);

  const auto walked = run_unprivileged({"-enumdir", root, "-num_subdirs", "1", "-csv"}, {});
  if (!walked) GTEST_SKIP() << "running as root without setpriv";
  // The part of the tree that could not be searched is named and fails the
  // run, though the files found were all reported.
  EXPECT_EQ(walked->status, 255);
  EXPECT_EQ(walked->err, "prob reading directory " + root + "locked/: permission denied\n" + summary(1, 1, true));
  EXPECT_EQ(csv_names(after_header(walked->out)), Names{"A.pf"});

  const auto pipe = run_unprivileged({"-pipe", "-csv"}, piping({root + "locked", locked_file, open_file}));
  ASSERT_TRUE(pipe);
  EXPECT_EQ(pipe->err, failed(root + "locked", "permission denied") + failed(locked_file, "permission denied") +
                           summary(3, 1));
  EXPECT_EQ(pipe->status, 255);
}

}  // namespace
