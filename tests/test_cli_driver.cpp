// The program as a user runs it on one file: help, usage and the option
// reference, the run header, refused command lines and their messages, the
// exit status, the results file, what the end of a run writes to standard
// error, and the documents (option reference, man page) that must name
// exactly the options kerf knows, so that none can fall behind the code.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/cli/arg_list.h"
#include "driver/cli/option_table.h"
#include "driver/cli/usage.h"
#include "lib/text/escape.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::Args;
using kerf::testing::read_file_bytes;
using kerf::testing::read_file_text;
using kerf::testing::run_kerf;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;

const std::string kSourceDir = KERF_SOURCE_DIR;
const std::string kUsage = kerf::usage_text("kerf");
const std::string kDefaultDate = R"(\d\d/\d\d/\d{4})";

// The machine's name, which the run header shows.
std::string host_name() {
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// Checks that `output` begins with the run header for `args` (argument 0,
// the program path, not included) and an empty line; returns what follows.
std::string header_then(const std::string& output, const Args& args, const std::string& date = kDefaultDate) {
  Args words{kerf::testing::kerf_exe()};
  words.insert(words.end(), args.begin(), args.end());
  const kerf::ArgList all(words);
  std::string command_line = "\"Command line: " + std::string(all.has("-pipe", 1) ? "<filelist> ... | " : "");
  kerf::text::append_escaped(command_line, all.joined('\''));
  command_line += "\"\n\n";
  const std::regex header("kerf ver: 1\\.40\nRun start: " + date +
                          R"( \d\d:\d\d:\d\d UTC; Host: )" + host_name() +
                          R"(; OS: [^;\n]+ \((32|64)-bit\)\n)");
  std::smatch found;
  const bool ok = std::regex_search(output, found, header, std::regex_constants::match_continuous) &&
                  output.compare(found.length(), command_line.size(), command_line) == 0;
  EXPECT_TRUE(ok) << output;
  return ok ? output.substr(found.length() + command_line.size()) : std::string();
}

std::string write_good_prefetch_file(const TempDir& dir, const std::string& name = "CMD.EXE-4A81B364.pf") {
  // One run time: the JSON layouts write a line for each.
  return dir.write(name,
                   kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").run_times({130971962938281250ull}).build());
}

// What a run writes to standard output: nothing, the run header alone, or
// the header and a report.
enum class Out { nothing, header, report };

struct RunCase {
  Args args;
  int status;
  std::string err;
  Out out = Out::header;
  RunOptions options = {};
  std::string date = kDefaultDate;  // the header's date pattern
};

void expect_runs(const std::vector<RunCase>& cases) {
  for (const RunCase& c : cases) {
    SCOPED_TRACE(kerf::ArgList(c.args).joined());
    const RunResult result = run_kerf(c.args, c.options);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    // Standard output sent to a regular file (not added to) is read back
    // from it.
    const std::optional<std::string>& to = c.options.stdout_path;
    const bool read_back = to && !c.options.append_stdout && std::filesystem::is_regular_file(*to);
    const std::string out = read_back ? read_file_text(*to) : result.out;
    if (c.out == Out::nothing) {
      EXPECT_EQ(out, "");
      continue;
    }
    const std::string report = header_then(out, c.args, c.date);
    EXPECT_EQ(report.empty(), c.out == Out::header);
    EXPECT_EQ(report.find("kerf ver: 1.40"), std::string::npos);  // the header comes once
  }
}

// The short usage (on standard error), the option reference and the
// version (on standard output) answer a help word wherever it stands, even
// where an option would take it for its value, and whatever else is given.
TEST(CliHelp, HelpWordsInAnyCaseAnywhere) {
  const std::string reference = run_kerf({"--help"}).out;
  ASSERT_TRUE(reference.starts_with("kerf 1.40 ")) << reference;
  // Made for a terminal: 80 columns at most, and the meanings in one column
  // unless the option words reach into it.
  std::istringstream lines(reference);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    const std::size_t gap = line.find("  ", 2);
    if ((!line.starts_with("  -") && !line.starts_with("  /")) || gap == std::string::npos) continue;
    const std::size_t meaning = line.find_first_not_of(' ', gap);
    EXPECT_TRUE(meaning == 30 || (gap > 28 && meaning == gap + 2)) << line;
  }
  // The program name goes into the usage as text, never as a format.
  RunOptions odd_name;
  odd_name.argv0 = "%s/odd name";
  const std::string usage_head = std::string(77, '-') +
                                 "\n\nkerf ver: 1.40\n\nUsage:\n\n"
                                 "   kerf <filename> [options]   = parse individual file\n"
                                 "   find /home -name *.pf -type f | %s/odd name -pipe\n"
                                 "   ls /home/prefetch_dir/*.pf | %s/odd name -pipe > results\n";
  const std::string usage = kerf::usage_text("%s/odd name");
  ASSERT_TRUE(usage.starts_with(usage_head)) << usage;
  EXPECT_TRUE(usage.ends_with("\n  -filter <*partial*|*.ext>  = filters stdin data from -pipe option\n\n"));
  struct Case {
    Args args;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, "", usage},
      {{"/?"}, "", usage},
      {{"x.pf", "-csv", "-h"}, "", usage},
      {{"-sqlite", "x", "-Help"}, "", usage},
      {{"--HELP"}, reference, ""},
      {{"x.pf", "-csv", "-out", "--Help"}, reference, ""},
      {{"-h", "--help"}, reference, ""},
      {{"--version"}, "kerf 1.40\n", ""},
      {{"-sqlite", "db", "--VERSION", "x.pf"}, "kerf 1.40\n", ""},
      {{"--version", "--help"}, reference, ""},
      {{"--version", "/?"}, "", usage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(kerf::ArgList(c.args).joined());
    const RunResult result = run_kerf(c.args, odd_name);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

// A command line kerf does not take refuses the run before any file is
// touched: status 255, the reason (with the usage when the words themselves
// are wrong), and nothing on standard output, even when it is a file (a
// header alone there would look like the start of a run). The results and
// the diagnostics may not share a file, under one name or two, and a
// diagnostics file that can't be opened refuses the run as a results file
// does.
TEST(CliUsage, RefusedCommandLinesNameTheReason) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string missing_dir = dir.file("missing/r.txt");
  const std::string results = dir.file("r.csv");
  const std::string not_offered = "This option is not offered in this build\n";
  const std::string not_a_date = ": not a date such as 2024/03/17 or 2024-03-17 10:00, aborting\n";
  const std::string bad_separator =
      ": a separator needs a character other than a blank (-no_whitespace and -enable_quoted_csv_fields drop "
      "blanks) and no quote or line break, aborting\n";
  const auto cannot_open = [](const std::string& path, const std::string& reason) {
    return "prob opening file " + path + " for output, aborting: " + reason + "\n";
  };
  RunOptions to_file;
  to_file.stdout_path = dir.file("stdout.csv");
  std::vector<RunCase> cases = {
      {{"x.pf", "-CVS"}, 255, "unknown option -CVS\n" + kUsage},
      {{"-num_subdirs", "2"}, 255, "no input file named\n" + kUsage},
      // A value that is missing is not taken from what follows.
      {{"x.pf", "-hostname"}, 255, "option needs a value: -hostname\n" + kUsage},
      {{"x.pf", "-hostname", "a", "-HOSTNAME", "b"}, 255, "option given more than once: -HOSTNAME\n" + kUsage},
      {{"-pipe", "x.pf"}, 255, "-pipe reads the names from standard input; unexpected word x.pf\n" + kUsage},
      {{"-enumdir", "./d", "x.pf"}, 255, "-enumdir walks a directory; unexpected word x.pf\n" + kUsage},
      {{"-enumdir", "", "-csv"}, 255, "no directory named for -enumdir, aborting\n"},
      {{"x.pf", "-num_subdirs", ""}, 255, "invalid -num_subdirs value : a whole number from 0 up, aborting\n"},
      // A separator must part the fields, and neither open a quoted field
      // nor end the row.
      {{"x.pf", "-csv_separator", ""}, 255, "invalid -csv_separator value " + bad_separator},
      {{"x.pf", "-csv", "-csv_separator", "  ", "-no_whitespace"}, 255, "invalid -csv_separator value   " + bad_separator},
      {{"x.pf", "-csv_separator", " ", "-enable_quoted_csv_fields"}, 255, "invalid -csv_separator value  " + bad_separator},
      {{"x.pf", "-csv_separator", "\";"}, 255, "invalid -csv_separator value \";" + bad_separator},
      {{"x.pf", "-csv_separator", ";\n"}, 255, "invalid -csv_separator value ;\\x0a" + bad_separator},
      {{"x.pf", "-num_subdirs", "0x10"}, 255, "invalid -num_subdirs value 0x10: a whole number from 0 up, aborting\n"},
      {{"x.pf", "-threads", " 2"}, 255, "invalid -threads value  2: a whole number from 0 up, aborting\n"},
      {{"x.pf", "-SQLITE_LOG", "db"}, 255, not_offered},
      {{"x.pf", "-alias", "c:|/mnt/c|d:"}, 255, "imbalanced alias to true pathfiles, aborting\n"},
      {{good, "-out", missing_dir}, 255, cannot_open(missing_dir, "no such file or directory")},
      {{good, "-diags", missing_dir}, 255, cannot_open(missing_dir, "no such file or directory")},
      {{good, "-out", results, "-diags", results}, 255, cannot_open(results, "it is the results file too")},
      {{good, "-out", results, "-diags", dir.path().string() + "/./r.csv"}, 255,
       cannot_open(dir.path().string() + "/./r.csv", "it is the results file too")},
      {{good, "-diags", to_file.stdout_path.value()}, 255, cannot_open(*to_file.stdout_path, "it is standard output too")},
      {{"x.pf", "-cmd_start_time", "20240101"}, 255, "invalid start time 20240101" + not_a_date},
      {{"x.pf", "-cmd_stop_time", " 10:00"}, 255, "invalid stop time  10:00" + not_a_date},
      {{good, "-json", "-filter_sig", "4d4"}, 255, "invalid filter signature 4d4, aborting\n"},
      // A second page after the first in one file is a page no browser shows.
      {{good, "-HTML", "-append", "-out", results}, 255, "-append can't add an HTML page to a results file, aborting\n"},
      // A history belongs to no one file, as each of their lines does.
      {{good, "-history", "-csv", "-bodyfile"}, 255,
       "-history can't be written as a body file (use -timesketch, -json, -csv, -html or the long form), aborting\n"},
      {{good, "-csvl2t", "-HISTORY"}, 255,
       "-history can't be written as a log2timeline timeline (use -timesketch, -json, -csv, -html or the long form), "
       "aborting\n"},
  };
  for (RunCase& c : cases) {
    c.out = Out::nothing;
    c.options = to_file;
  }
  expect_runs(cases);
  // Neither name was created, and an existing file shared by both stays as
  // it was.
  EXPECT_FALSE(std::filesystem::exists(results));
  EXPECT_FALSE(std::filesystem::exists(missing_dir));
  dir.write_text("r.csv", "earlier results\n");
  EXPECT_EQ(run_kerf({good, "-csv", "-out", results, "-diags", results}).status, 255);
  EXPECT_EQ(read_file_text(results), "earlier results\n");
  // A diagnostics file opened before the results file failed to open is
  // neither emptied nor left behind.
  EXPECT_EQ(run_kerf({good, "-diags", results, "-out", missing_dir}).status, 255);
  EXPECT_EQ(read_file_text(results), "earlier results\n");
  const std::string new_diags = dir.file("new-diags.txt");
  EXPECT_EQ(run_kerf({good, "-diags", new_diags, "-out", missing_dir}).status, 255);
  EXPECT_FALSE(std::filesystem::exists(new_diags));
  // The JSON layouts win over the text layouts, -timesketch over -json.
  EXPECT_TRUE(run_kerf({good, "-csvl2t", "-json", "-bodyfile", "-csv"}).out.starts_with("{\"source\":{"));
  EXPECT_TRUE(run_kerf({good, "-timesketch", "-json"}).out.starts_with("{\"message\":"));
}

// Values kerf can't use are named and left at their defaults; the run goes
// on, and its header shows the run's own accepted date pattern, whatever
// its case, and every word it was given (a control character escaped, a
// word with a space quoted).
TEST(CliOptions, RefusedValuesAreReportedAndTheRunGoesOn) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir, "with space\x1b[31m.pf");
  const std::string bad_date = "invalid yy, using default format\ninvalid x, using default format\n";
  expect_runs({
      {{file, "-dateformat", "YYYY-MM-DD", "-hostname", "WS 01"}, 0, "", Out::report, {}, R"(\d{4}-\d\d-\d\d)"},
      {{file, "-dateformat", "yy", "-timeformat", "x"}, 0, bad_date, Out::report},
      {{file, "-cmd_start_time", "2024/13/01"}, 0, "invalid start time, ignoring\n", Out::report},
      {{file, "-cmd_stop_time", "2024-02-30 10:00"}, 0, "invalid stop time, ignoring\n", Out::report},
      {{file, "-cmd_start_time", "2024/03/17 10:00", "-cmd_stop_time", "2024/03/17 09:59"}, 0,
       "invalid stop time, ignoring\n", Out::report},
      // The window screens a single file too, and says so (made today, it
      // lies outside 2024).
      {{file, "-cmd_start_time", "2024/03/17", "-cmd_stop_time", "2024/03/17"}, 255,
       "skipped " + dir.file("with space\\x1b[31m.pf") + ": modified outside the time window\n"},
      {{file, "-cmd_start_time", "2024/03/17"}, 0, "", Out::report},
  });
}

// Options kept so that old command lines still run are taken with their
// values and change nothing in the report.
TEST(CliOptions, KeptOldOptionsChangeNothing) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const Args old = {file, "-csv", "-gzip", "-zlib", "-zlibex", "1", "-signal", "1", "-split_pathfile", "-cpuinst",
                    "1", "-cpu", "2", "-fragment_files", "3", "-separate_files", "-outdir", "d", "-filter_skip", "a",
                    "-base10", "-base16"};
  const RunResult kept = run_kerf(old);
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(kept.err, "");
  EXPECT_EQ(header_then(kept.out, old), header_then(run_kerf({file, "-csv"}).out, {file, "-csv"}));
}

TEST(CliRun, StatusFollowsTheFileAndFailuresSayWhy) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");
  const std::string missing = dir.file("missing.pf");
  const std::string empty = dir.write_text("empty.pf", "");
  const std::vector<std::uint8_t> image =
      kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").file_names({L"\\VOLUME{1}\\CMD.EXE"}).build();
  std::vector<std::uint8_t> cut = kerf::testing::make_mam_container(image);
  std::vector<std::uint8_t> damaged = cut;
  cut.resize(cut.size() - 40);
  // The first code length table no longer fills its table.
  std::fill(damaged.begin() + 8, damaged.begin() + 8 + 256, 0);
  const std::string truncated = dir.write("cut.pf", cut);
  const std::string broken = dir.write("broken.pf", damaged);
  // A compressed file whose checksum fails is reported all the same, and
  // the examiner is told which one it was.
  std::vector<std::uint8_t> summed = kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(image));
  summed[8] ^= 0x01;
  const std::string mismatch = dir.write("sum\x1b.pf", summed);
  const auto failure = [](const std::string& name, const std::string& reason) {
    return "prob reading file " + name + ": " + reason + "\n";
  };
  RunOptions env;
  env.env = {{"KERF_TEST_PF_DIR", dir.path().string()}};
  RunOptions in_dir = env;
  in_dir.working_dir = dir.path().string();
  dir.write("%KERF_TEST_PF_DIR%.pf", {});
  expect_runs({
      {{good}, 0, "", Out::report},
      {{junk}, 255, failure(junk, "not a Prefetch file")},
      {{junk, "-json"}, 255, failure(junk, "not a Prefetch file"), Out::nothing},
      {{missing}, 255, failure(missing, "no such file or directory")},
      {{empty}, 255, failure(empty, "empty file")},
      {{dir.path().string()}, 255, failure(dir.path().string(), "is a directory")},
      {{truncated}, 255, failure(truncated, "compressed data ends early")},
      {{broken}, 255, failure(broken, "compressed data is damaged")},
      {{mismatch}, 0, "checksum mismatch in " + dir.path().string() + "/sum\\x1b.pf\n", Out::report},
      {{mismatch, "-quiet"}, 0, "", Out::report},
      {{missing, "-quiet"}, 255, ""},
      // A reference to the environment in a typed name that names no file;
      // a file really called so is read as itself.
      {{"%KERF_TEST_PF_DIR%/CMD.EXE-4A81B364.pf"}, 0, "", Out::report, env},
      {{"%KERF_TEST_PF_DIR%.pf"}, 255, failure("%KERF_TEST_PF_DIR%.pf", "empty file"), Out::header, in_dir},
  });

  // The times a report shows are those the file had before kerf read it,
  // and reading it does not change them: accessed in 2001, modified in 2020,
  // where a read would move the access time on.
  const timespec times[2] = {{978307200, 0}, {1583298367, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, good.c_str(), times, 0), 0);
  const RunResult result = run_kerf({good, "-longform"});
  EXPECT_NE(result.out.find("\naccessed:       2001-01-01 00:00:00\n"), std::string::npos) << result.out;
  struct stat after {};
  ASSERT_EQ(::stat(good.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, 978307200);

  // A fault that would kill the process (here sent from outside, as a
  // library meeting a hostile image would raise it) ends the run with the
  // failure status and a word, not a crash.
  const RunResult faulted = kerf::testing::run_program(
      "/bin/sh", {"-c", "sleep 2 | timeout --preserve-status -s SEGV 0.5 \"$0\" -pipe -quiet", kerf::testing::kerf_exe()});
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_EQ(faulted.status, 255);
  EXPECT_EQ(faulted.err,
            "kerf: internal fault (signal 11) while reading the input: the run stopped, and its results are incomplete\n");
#endif
}

TEST(CliResultsFile, AppendAddsToItInEveryMode) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string results = dir.file("results.txt");
  // An earlier run's output: a -pipe run adds only to kerf's own output. (A
  // refused command line leaves it alone: RefusedCommandLinesNameTheReason.)
  const std::string earlier = "kerf ver: 1.40\nearlier results\n";
  for (const Args& appending : {Args{file, "-csv", "-out", results, "-append"},
                                Args{"-pipe", "-csv", "-out", results, "-append"},
                                Args{"-enumdir", dir.file("none/"), "-csv", "-out", results, "-append"}}) {
    dir.write_text("results.txt", earlier);
    run_kerf(appending);
    const std::string appended = read_file_text(results);
    ASSERT_TRUE(appended.starts_with(earlier));
    const std::string added = header_then(appended.substr(earlier.size()), appending);
    EXPECT_EQ(added.empty(), appending[0] != file) << appending[0];
  }
}

// Files that are evidence are never written: not the input itself (under
// any name), not a file that holds a Prefetch image or container, not a file
// the walk of the run lists (whatever it holds), and in a -pipe run, whose
// names come as it goes, no file that is not kerf's own output. The same for
// standard output when it is a regular file. Results or diagnostics that
// can't be written, or answers to a help word, fail the run.
TEST(CliResultsFile, EvidenceIsNeverWrittenAndWriteFailuresFailTheRun) {
  TempDir dir;
  const std::string input = write_good_prefetch_file(dir, "E.pf");
  const std::string other = write_good_prefetch_file(dir, "OTHER.pf");
  const std::string linked = dir.file("link.txt");
  ASSERT_EQ(::link(input.c_str(), linked.c_str()), 0);
  const std::string container = dir.write("C.txt", kerf::testing::make_mam_container(std::vector<std::uint8_t>(64, 1)));
  const std::string mem0 = dir.write("M.txt", kerf::testing::make_mem0_container(std::vector<std::uint8_t>(64, 1)));
  const std::string lz77 = dir.write("L.txt", kerf::testing::make_lz77_container(std::vector<std::uint8_t>(64, 1)));
  // A damaged Prefetch file one level down a tree, and notes beside it.
  const std::string damaged = dir.write_text("tree/sub/DAMAGED.pf", "SCC");
  const std::string notes = dir.write_text("notes.txt", "the examiner's notes\n");
  const std::string own = dir.write_text("own.csv", "kerf ver: 1.40\nearlier run\n");
  const std::string own_timeline = dir.write_text("own.l2t", "date|time|timezone|MACB|source\n");
  const std::string own_json = dir.write_text("own.json", "{\"source\":{\"path\":\"x\"}}\n");
  const std::string dated = dir.write_text("dated.txt", "date of the seizure: 2024-03-17\n");
  const std::vector<std::string> evidence = {input, other, container, damaged, notes, dated};
  std::vector<std::vector<std::uint8_t>> before_bytes;
  for (const std::string& path : evidence) before_bytes.push_back(read_file_bytes(path));
  struct stat before {};
  ASSERT_EQ(::stat(input.c_str(), &before), 0);
  const auto refused = [](const std::string& target, const std::string& reason) {
    return "prob opening file " + target + " for output, aborting: " + reason + "\n";
  };
  const std::string stdout_refused = "prob writing to standard output, aborting: ";
  const std::string unwritable = "prob writing to standard output\n";
  const std::string in_tree = "it lies in the walked directory tree";
  const std::string maybe_piped = "it is not kerf's output, and the piped list may name it";
  RunOptions to_full;
  to_full.stdout_path = "/dev/full";
  RunOptions closed;
  closed.close_stdout = true;
  // "kerf X.pf >> X.pf", and ">>" to a file that holds a container.
  const auto appending_to = [](const std::string& path) {
    RunOptions options;
    options.stdout_path = path;
    options.append_stdout = true;
    return options;
  };
  const RunOptions no_names = kerf::testing::piping({});
  const std::string tree = dir.file("tree");
  std::vector<RunCase> cases = {
      {{input, "-out", input}, 255, refused(input, "it is an input file"), Out::nothing},
      {{input, "-diags", input}, 255, refused(input, "it is an input file"), Out::nothing},
      {{input, "-csv", "-append", "-out", linked}, 255, refused(linked, "it is an input file"), Out::nothing},
      {{input, "-csv", "-out", other}, 255, refused(other, "it holds a Prefetch file"), Out::nothing},
      {{input, "-diags", container}, 255, refused(container, "it holds a Prefetch file"), Out::nothing},
      {{input, "-diags", mem0}, 255, refused(mem0, "it holds a Prefetch file"), Out::nothing},
      {{input, "-out", lz77}, 255, refused(lz77, "it holds a Prefetch file"), Out::nothing},
      {{"-pipe", "-csv", "-append", "-out", other}, 255, refused(other, "it holds a Prefetch file"), Out::nothing},
      {{input, "-csv"}, 255, stdout_refused + "it is an input file\n", Out::nothing, appending_to(input)},
      {{"-pipe"}, 255, stdout_refused + "it holds a Prefetch file\n", Out::nothing, appending_to(container)},
      {{"-enumdir", tree, "-num_subdirs", "1", "-csv", "-out", damaged}, 255, refused(damaged, in_tree), Out::nothing},
      {{"-enumdir", dir.path().string(), "-diags", notes, "-append"}, 255, refused(notes, in_tree), Out::nothing},
      {{"-pipe", "-csv", "-out", notes}, 255, refused(notes, maybe_piped), Out::nothing, no_names},
      {{"-pipe", "-diags", notes}, 255, refused(notes, maybe_piped), Out::nothing, no_names},
      {{"-pipe", "-quiet"}, 255, stdout_refused + maybe_piped + "\n", Out::nothing, appending_to(notes)},
      // Below the depth the walk reaches, and kerf's own output in a -pipe
      // run, are written (the run fails: no file was handed on).
      {{"-enumdir", tree, "-csv", "-out", damaged, "-quiet"}, 255, "", Out::nothing},
      {{"-pipe", "-csv", "-out", own, "-quiet"}, 255, "", Out::nothing, no_names},
      {{"-pipe", "-csvl2t", "-out", own_timeline, "-quiet"}, 255, "", Out::nothing, no_names},
      {{"-pipe", "-json", "-out", own_json, "-quiet"}, 255, "", Out::nothing, no_names},
      {{"-pipe", "-csvl2t", "-out", dated}, 255, refused(dated, maybe_piped), Out::nothing, no_names},
  };
  if (::access("/dev/full", W_OK) == 0) {
    cases.insert(cases.end(), {{{input, "-out", "/dev/full"}, 255, "prob writing results\n", Out::nothing},
                               {{input, "-diags", "/dev/full"}, 255, "prob writing diagnostics\n", Out::report},
                               {{input}, 255, "prob writing results\n", Out::nothing, to_full},
                               {{input}, 255, "prob writing results\n", Out::nothing, closed},
                               {{"--help"}, 255, unwritable, Out::nothing, to_full},
                               {{"--version"}, 255, unwritable, Out::nothing, closed}});
  }
  expect_runs(cases);
  for (std::size_t i = 0; i < evidence.size(); ++i) {
    // The damaged file below the walk's depth was the results file of a run.
    if (evidence[i] != damaged) {
      EXPECT_EQ(read_file_bytes(evidence[i]), before_bytes[i]) << evidence[i];
    }
  }
  EXPECT_TRUE(read_file_text(damaged).starts_with("kerf ver: 1.40\n"));
  EXPECT_TRUE(read_file_text(own).starts_with("kerf ver: 1.40\n"));
  EXPECT_EQ(read_file_text(own).find("earlier run"), std::string::npos);
  struct stat after {};
  ASSERT_EQ(::stat(input.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

  // In a bulk run the results file itself, met among the inputs, is skipped.
  const std::string results = dir.file("results.csv");
  const RunResult bulk = run_kerf({"-pipe", "-csv", "-out", results}, kerf::testing::piping({input, results}));
  EXPECT_EQ(bulk.err, "skipped " + results + ": it is a file this run writes to\nkerf: 1 file: 1 reported, 0 failed\n");
  EXPECT_EQ(bulk.status, 0);
}

// What the end of a run writes: the profile line, on standard error and in
// the diagnostics file, which a run creates, as it does a results file,
// with the read and write bits the umask leaves. The diagnostics file
// escapes what it quotes as every output does: a line break or an escape
// sequence in a name or on the command line can't forge a line.
TEST(CliEndOfRun, DiagnosticsAndProfile) {
  TempDir dir;
  const TempDir diags_dir;  // outside the directory walked
  write_good_prefetch_file(dir, "x\n->forged\x1b[2J.pf");
  const std::string diags = diags_dir.file("diags.txt");
  // -profile comes right after -num_subdirs in the option table and is an
  // option of its own, not another spelling of it.
  const Args args = {"-enumdir", dir.path().string(), "-diags", diags, "-l2", "-num_subdirs", "1", "-profile",
                     "-hostname", "a b\n->C:\\x\x1b[2J"};
  RunOptions options;
  options.umask = 027;
  const RunResult result = run_kerf(args, options);
  EXPECT_EQ(result.status, 0);
  // Standard error is no terminal here: no line is blanked, only the
  // summary and the profile line are written.
  std::smatch profile;
  ASSERT_TRUE(std::regex_match(result.err, profile, std::regex(R"(kerf: 1 file: 1 reported, 0 failed\n(->\d+\.\d+ secs\n))")))
      << result.err;
  // The command line as typed (no added -longform), the name handed on,
  // then the profile line.
  const std::string expected = "->" + kerf::testing::kerf_exe() + " -enumdir " + dir.path().string() + " -diags " + diags +
                               " -l2 -num_subdirs 1 -profile -hostname \"a b\\x0a->C:\\x\\x1b[2J\"\n->" +
                               dir.path().string() + "/x\\x0a->forged\\x1b[2J.pf\n" + profile[1].str();
  EXPECT_EQ(read_file_text(diags), expected);
  struct stat status {};
  ASSERT_EQ(::stat(diags.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

// The man page lists exactly the options of the option table (--help is
// made from it), and the usage names none that kerf does not know.
TEST(OptionDocs, ManPageAndUsageNameTheOptionsOfTheTable) {
  std::set<std::string> table;
  for (const kerf::OptionSpec& option : kerf::option_table()) table.emplace(option.word);
  // The option words of a text: "-out, -outfile <file>" gives "-out" and
  // "-outfile".
  const auto words_of = [](const std::string& text, std::set<std::string>& words) {
    std::istringstream in(text);
    for (std::string word; in >> word;) {
      if (word.ends_with(',')) word.pop_back();
      if ((word.size() > 1 && word.starts_with('-')) || word == "/?") words.insert(word);
    }
  };
  // The line after each .TP under OPTIONS, its font changes, quotes and
  // macro name dropped ("\-" is "-").
  const std::string page = read_file_text(kSourceDir + "/docs/kerf.1");
  const std::size_t start = page.find("\n.SH OPTIONS\n");
  const std::string options = page.substr(start, page.find("\n.SH ", start + 1) - start);
  const std::regex tagged(R"(\n\.TP[^\n]*\n(\.[A-Z]+ )?([^\n]*))");
  std::set<std::string> man_page;
  for (auto it = std::sregex_iterator(options.begin(), options.end(), tagged); it != std::sregex_iterator(); ++it) {
    words_of(std::regex_replace(std::regex_replace((*it)[2].str(), std::regex(R"(\\f.|")"), " "), std::regex(R"(\\)"), ""),
             man_page);
  }
  for (const std::string& word : table) EXPECT_TRUE(man_page.contains(word)) << "the man page lacks " << word;
  for (const std::string& word : man_page) EXPECT_TRUE(table.contains(word)) << "the man page names " << word;
  std::set<std::string> usage;
  std::istringstream lines(kUsage);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  -")) words_of(line.substr(0, line.find(" = ")), usage);
  }
  for (const std::string& word : usage) EXPECT_TRUE(table.contains(word)) << "the usage names " << word;
}

}  // namespace
