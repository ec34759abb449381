// The program as a user runs it: help and usage, the run header, option
// failures and their messages, the exit status, the results file, and what
// the end of a run writes to standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "driver/usage.h"
#include "driver/arg_list.h"
#include "lib/text/escape.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/xpress_encoder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_text;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
using Args = std::vector<std::string>;


RunResult run(const Args& args, RunOptions options = {}) {
  RunResult result = kerf::testing::run_kerf(args, options);
  EXPECT_FALSE(result.timed_out) << kerf::ArgList(args).joined();
  return result;
}

// Checks that `output` begins with the run header for `args` (argument 0,
// the program path, not included) and an empty line; returns what follows.
std::string after_header(const std::string& output, const Args& args,
                         const std::string& date = R"(\d\d/\d\d/\d{4})") {
  Args words{kerf::testing::kerf_exe()};
  words.insert(words.end(), args.begin(), args.end());
  const kerf::ArgList all(words);
  std::string command_line = "\"Command line: " + std::string(all.has("-pipe", 1) ? "<filelist> ... | " : "");
  kerf::text::append_escaped(command_line, all.joined('\''));
  command_line += "\"\n\n";
  const std::regex header("kerf ver: 1\\.40\nRun start: " + date +
                          R"( \d\d:\d\d:\d\d UTC; Host: [^;\n]+; OS: [^;\n]+ \((32|64)-bit\)\n)");
  std::smatch found;
  const bool ok = std::regex_search(output, found, header, std::regex_constants::match_continuous) &&
                  output.compare(found.length(), command_line.size(), command_line) == 0;
  EXPECT_TRUE(ok) << output;
  return ok ? output.substr(found.length() + command_line.size()) : std::string();
}

std::string longform_start(const std::string& file) {
  std::string line = "Analyzing file: ";
  kerf::text::append_escaped(line, file);
  return line + "\n";
}

std::string write_good_prefetch_file(const TempDir& dir, const std::string& name = "CMD.EXE-4A81B364.pf") {
  return dir.write(name, kerf::testing::PrefetchImageBuilder(30)
                             .exe_name(L"CMD.EXE")
                             .run_times({130971962938281250ull})
                             .run_count(1)
                             .file_names({L"\\VOLUME{1}\\WINDOWS\\SYSTEM32\\CMD.EXE"})
                             .add_volume({L"\\VOLUME{1}", 0x8c9f49ec, 130922674662434681ull, {}})
                             .build());
}

TEST(CliHelp, NoArgumentPrintsTheUsageOnly) {
  RunOptions options;
  options.argv0 = "my-kerf";
  const RunResult result = run({}, options);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  const std::string expected =
      std::string(77, '-') +
      "\n"
      "\n"
      "kerf ver: 1.40\n"
      "\n"
      "Usage:\n"
      "\n"
      "   kerf <filename> [options]   = parse individual file\n"
      "   find /home -name *.pf -type f | my-kerf -pipe\n"
      "   ls /home/prefetch_dir/*.pf | my-kerf -pipe > results\n"
      "   kerf -enumdir <location pf files> -num_subdirs <#> [options]\n"
      "\n"
      " Basic options\n"
      "  -csv                       = output in comma separated value format\n"
      "  -csvl2t                    = log2timeline output\n"
      "  -bodyfile                  = sleuthkit output\n"
      "  -verbose                   = force module listing to be in output\n"
      "\n"
      " Additional options\n"
      "  -pipe                      = pipe files into app for processing\n"
      "  -hostname <name>           = csv output will contain this hostname\n"
      "  -dateformat mm/dd/yyyy     = \"yyyy-mm-dd\" is the default\n"
      "  -timeformat hh:mm:ss       = \"hh:mm:ss.xxx\" is the default\n"
      "  -pair_datetime             = combine date/time into 1 field for csv\n"
      "  -no_whitespace             = remove whitespace between csv delimiter\n"
      "  -csv_separator \"|\"         = use a pipe character for csv separator\n"
      "  -pf_path                   = include prefetch path in output\n"
      "  -filter <*partial*|*.ext>  = filters stdin data from -pipe option\n"
      "\n";
  EXPECT_EQ(result.err, expected);
}

TEST(CliHelp, HelpWordsInAnyCaseAnywhere) {
  for (const Args& args : {Args{"-HELP"}, Args{"/?"}, Args{"-h"},
                           Args{"x.pf", "-csv", "-Help"}, Args{"-sqlite", "x", "-h"}}) {
    RunOptions options;
    options.argv0 = "%s/odd name";  // substituted as text, never as a format
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 0) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_EQ(result.err, kerf::usage_text("%s/odd name")) << args[0];
  }
}

// A command line kerf does not understand refuses the run before any file is
// touched: the word is named, the usage shown, and the status is 255.
TEST(CliUsage, MistakesAreNamedAndFailTheRun) {
  struct Case {
    Args args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"a.pf", "-nosuchoption"}, "unknown option -nosuchoption"},
      {{"x.pf", "-CVS"}, "unknown option -CVS"},
      {{"x.pf", "-prevtimes"}, "unknown option -prevtimes"},
      {{"-csv"}, "no input file named"},
      {{"-num_subdirs", "2"}, "no input file named"},
      // A value that is missing is not taken from what follows.
      {{"x.pf", "-hostname"}, "option needs a value: -hostname"},
      {{"-pipe", "x.pf"}, "-pipe reads the names from standard input; unexpected word x.pf"},
      {{"-enumdir", "./d", "x.pf"}, "-enumdir walks a directory; unexpected word x.pf"},
      {{"-enumdir", "", "-csv"}, "no directory named for -enumdir, aborting"},
      {{"x.pf", "-num_subdirs", "abc"}, "invalid -num_subdirs value abc: a whole number from 0 up, aborting"},
      {{"x.pf", "-num_subdirs", "-1"}, "invalid -num_subdirs value -1: a whole number from 0 up, aborting"},
      {{"x.pf", "-num_subdirs", ""}, "invalid -num_subdirs value : a whole number from 0 up, aborting"},
      {{"x.pf", "-filter_sig", "4d41|12x"}, "invalid filter signature 4d41|12x, aborting"},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 255) << c.args[1];
    EXPECT_EQ(after_header(result.out, c.args), "");
    const bool usage = !c.message.ends_with("aborting");
    EXPECT_EQ(result.err, c.message + "\n" + (usage ? kerf::usage_text("kerf") : "")) << c.args[1];
  }
}

TEST(CliOptions, FailuresPrintTheirMessageAndTheHeader) {
  TempDir dir;
  const std::string missing_dir = dir.file("missing/r.txt");
  struct Case {
    Args args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"x.pf", "-sqlite", "db"}, "This option is not offered in this build\n"},
      {{"x.pf", "-SQLITE_LOG", "db"}, "This option is not offered in this build\n"},
      {{"x.pf", "-alias", "c:|/mnt/c|d:"}, "imbalanced alias to true pathfiles, aborting\n"},
      {{"x.pf", "-out", missing_dir},
       "prob opening file " + missing_dir + " for output, aborting: no such file or directory\n"},
      {{"x.pf", "-cmd_start_time", "20240101"},
       "invalid start time 20240101: not a date such as 2024/03/17 or 2024-03-17 10:00, aborting\n"},
      {{"x.pf", "-cmd_stop_time", " 10:00"},
       "invalid stop time  10:00: not a date such as 2024/03/17 or 2024-03-17 10:00, aborting\n"},
      {{"x.pf", "-filter_sig", "4d4"}, "invalid filter signature 4d4, aborting\n"},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 255) << c.args[1];
    EXPECT_EQ(result.err, c.message) << c.args[1];
    EXPECT_EQ(after_header(result.out, c.args), "");
  }
}

// Output meant for JSON Lines tools holds no run header on any path: not
// when an option is refused, not with the usage, not for a failed file; a
// later -longform brings it back with the long form.
TEST(CliOptions, HeaderlessOutputStaysHeaderless) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");
  struct Case {
    Args args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{good, "-json", "-filter_sig", "4d4"}, 255, "invalid filter signature 4d4, aborting\n"},
      {{good, "-TIMESKETCH", "-sqlite", "db"}, 255, "This option is not offered in this build\n"},
      {{good, "-csv", "-no_run_header", "-sqlite", "db"}, 255, "This option is not offered in this build\n"},
      {{junk, "-json"}, 255, "prob reading file " + junk + ": not a Prefetch file\n"},
      {{"-timesketch"}, 255, "no input file named\n" + kerf::usage_text("kerf")},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.args[1];
    EXPECT_EQ(result.err, c.err) << c.args[1];
    EXPECT_EQ(result.out, "") << c.args[1];
  }
  const Args long_form = {good, "-json", "-longform", "-sqlite", "db"};
  EXPECT_EQ(after_header(run(long_form).out, long_form), "");
  // The JSON layouts win over the text layouts, -timesketch over -json.
  EXPECT_TRUE(run({good, "-csvl2t", "-json", "-bodyfile", "-csv"}).out.starts_with("{\"source\":{"));
  EXPECT_TRUE(run({good, "-timesketch", "-json"}).out.starts_with("{\"message\":"));

  // -append adds lines to earlier ones, nothing else.
  const std::string results = dir.file("results.jsonl");
  dir.write_text("results.jsonl", "{}\n");
  RunOptions piped;
  piped.input = good + "\n" + junk + "\n" + good + "\n";
  EXPECT_EQ(run({"-pipe", "-json", "-out", results, "-append"}, piped).status, 255);  // junk failed
  const std::string appended = read_file_text(results);
  ASSERT_TRUE(appended.starts_with("{}\n{\"source\":{\"path\":")) << appended;
  EXPECT_EQ(std::count(appended.begin(), appended.end(), '\n'), 3) << appended;
}

TEST(CliOptions, RefusedValuesAreReportedAndTheRunGoesOn) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  struct Case {
    Args args;
    std::string messages;
  };
  const std::vector<Case> cases = {
      {{file, "-dateformat", "yy", "-timeformat", "x"},
       "invalid yy, using default format\ninvalid x, using default format\n"},
      // Patterns of the right length that could not give their dates in
      // every layout.
      {{file, "-dateformat", "abcdefgh", "-timeformat", "xx:xx:xx"},
       "invalid abcdefgh, using default format\ninvalid xx:xx:xx, using default format\n"},
      {{file, "-dateformat", "m/d/yyyy", "-timeformat", "hh:mm:ss.xx  "},
       "invalid m/d/yyyy, using default format\ninvalid hh:mm:ss.xx  , using default format\n"},
      {{file, "-cmd_start_time", "2024/13/01"}, "invalid start time, ignoring\n"},
      {{file, "-cmd_stop_time", "2024-02-30 10:00"}, "invalid stop time, ignoring\n"},
      {{file, "-cmd_start_time", "2024/03/17 10:00", "-cmd_stop_time", "2024/03/17 09:59"},
       "invalid stop time, ignoring\n"},
      {{file, "-cmd_start_time", "2024/03/17", "-cmd_stop_time", "2024/03/17"}, ""},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 0) << c.args[1];
    EXPECT_EQ(result.err, c.messages) << c.args[1];
  }
}

TEST(CliRun, StatusFollowsTheFileAndFailuresSayWhy) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");
  const std::string missing = dir.file("missing.pf");
  const std::string empty = dir.write_text("empty.pf", "");
  std::vector<std::uint8_t> cut = kerf::testing::make_mam_container(
      kerf::testing::PrefetchImageBuilder(30).exe_name(L"CMD.EXE").file_names({L"\\VOLUME{1}\\CMD.EXE"}).build());
  std::vector<std::uint8_t> damaged = cut;
  cut.resize(cut.size() - 40);
  damaged[8] = 0;  // the first code length table no longer fills its table
  std::fill(damaged.begin() + 8, damaged.begin() + 8 + 256, 0);
  const std::string truncated = dir.write("cut.pf", cut);
  const std::string broken = dir.write("broken.pf", damaged);
  struct Case {
    Args args;
    int status;
    std::string err;
  };
  const auto failure = [](const std::string& name, const std::string& reason) {
    return "prob reading file " + name + ": " + reason + "\n";
  };
  const std::vector<Case> cases = {
      {{good}, 0, ""},
      {{junk}, 255, failure(junk, "not a Prefetch file")},
      {{missing}, 255, failure(missing, "no such file or directory")},
      {{empty}, 255, failure(empty, "empty file")},
      {{dir.path().string()}, 255, failure(dir.path().string(), "is a directory")},
      {{truncated}, 255, failure(truncated, "compressed data ends early")},
      {{broken}, 255, failure(broken, "compressed data is damaged")},
      {{missing, "-quiet"}, 255, ""},
      {{good, "-quiet"}, 0, ""},
      // A reference to the environment in a typed name that names no file.
      {{"%KERF_TEST_PF_DIR%/CMD.EXE-4A81B364.pf"}, 0, ""},
      // Options that kerf accepts and ignores.
      {{"-CSV", good, "-gzip", "-zlibex", "9", "-threads", "4", "-base10", "-outdir", "d"}, 0, ""},
  };
  RunOptions options;
  options.env = {{"KERF_TEST_PF_DIR", dir.path().string()}};
  for (const Case& c : cases) {
    const RunResult result = run(c.args, options);
    EXPECT_EQ(result.status, c.status) << c.args[0];
    EXPECT_EQ(result.err, c.err) << c.args[0];
    const std::string report = after_header(result.out, c.args);
    EXPECT_EQ(report.empty(), c.status != 0) << c.args[0];
    EXPECT_EQ(report.find("kerf ver: 1.40"), std::string::npos);  // the header comes once
  }
  // A file really called "%KERF_TEST_PF_DIR%.pf" is read as itself.
  const std::string literal = dir.write("%KERF_TEST_PF_DIR%.pf", {});
  RunOptions in_dir = options;
  in_dir.working_dir = dir.path().string();
  EXPECT_EQ(run({"%KERF_TEST_PF_DIR%.pf"}, in_dir).err, failure("%KERF_TEST_PF_DIR%.pf", "empty file"));
  (void)literal;
}

TEST(CliHeader, DateFormatAndQuotedCommandLine) {
  TempDir dir;
  // A control character in a name handed over is escaped in the header too.
  const std::string file = write_good_prefetch_file(dir, "with space\x1b[31m.pf");
  // The run's own accepted date pattern, whatever its case; the default
  // when the run refuses it.
  const Args args = {file, "-dateformat", "YYYY-MM-DD", "-hostname", "WS 01"};
  EXPECT_TRUE(after_header(run(args).out, args, R"(\d{4}-\d\d-\d\d)").starts_with(longform_start(file)));
  const Args refused = {file, "-dateformat", "abcdefgh"};
  EXPECT_TRUE(after_header(run(refused).out, refused).starts_with(longform_start(file)));
}

TEST(CliResultsFile, HoldsTheOutputWithReadWriteBitsFromTheUmask) {
  struct Case {
    mode_t umask, mode;
  };
  for (const Case c : {Case{022, 0644}, Case{0, 0666}, Case{077, 0600}}) {
    TempDir dir;
    const std::string file = write_good_prefetch_file(dir);
    const std::string results = dir.file("results.txt");
    RunOptions options;
    options.umask = c.umask;
    const Args args = {file, "-out", results};
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(after_header(read_file_text(results), args).starts_with(longform_start(file)));
    struct stat status {};
    ASSERT_EQ(::stat(results.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, c.mode) << std::oct << c.umask;
  }
}

TEST(CliResultsFile, EarlierContentIsKeptOnlyWhereItShouldBe) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string results = dir.file("results.txt");
  const std::string earlier = "earlier results\n";

  // A command line found wrong leaves an existing file as it was and
  // creates none.
  for (const Args& wrong : {Args{file, "-out", results, "-sqlite", "x"}, Args{file, "-csv", "-append", "-out",
                                                                               results, "-cvs"},
                            Args{file, "-stray", "-out", results}}) {
    dir.write_text("results.txt", earlier);
    EXPECT_EQ(run(wrong).status, 255);
    EXPECT_EQ(read_file_text(results), earlier);
    std::filesystem::remove(results);
    EXPECT_EQ(run(wrong).status, 255);
    EXPECT_FALSE(std::filesystem::exists(results));
  }

  // -append adds to it in every mode.
  for (const Args& appending : {Args{file, "-csv", "-out", results, "-append"},
                                Args{"-pipe", "-csv", "-out", results, "-append"},
                                Args{"-enumdir", dir.file("none/"), "-csv", "-out", results, "-append"}}) {
    dir.write_text("results.txt", earlier);
    run(appending);
    const std::string appended = read_file_text(results);
    ASSERT_TRUE(appended.starts_with(earlier));
    const std::string added = after_header(appended.substr(earlier.size()), appending);
    EXPECT_EQ(added.empty(), appending[0] != file) << appending[0];
  }
}

// Files that are evidence are never written: not the input itself (under
// any name), not a file that holds a Prefetch image or container.
TEST(CliResultsFile, EvidenceIsNeverEmptiedOrAppendedTo) {
  TempDir dir;
  const std::string input = write_good_prefetch_file(dir, "E.pf");
  const std::string other = write_good_prefetch_file(dir, "OTHER.pf");
  const std::string linked = dir.file("link.txt");
  ASSERT_EQ(::link(input.c_str(), linked.c_str()), 0);
  const std::string container = dir.write("C.txt", kerf::testing::make_mam_container(std::vector<std::uint8_t>(64, 1)));
  const std::vector<std::uint8_t> original = kerf::testing::read_file_bytes(input);
  struct stat before {};
  ASSERT_EQ(::stat(input.c_str(), &before), 0);
  struct Case {
    Args args;
    std::string target;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{input, "-out", input}, input, "it is an input file"},
      {{input, "-diags", input}, input, "it is an input file"},
      {{input, "-csv", "-append", "-out", linked}, linked, "it is an input file"},
      {{input, "-csv", "-out", other}, other, "it holds a Prefetch file"},
      {{input, "-csv", "-append", "-out", other}, other, "it holds a Prefetch file"},
      {{input, "-diags", container}, container, "it holds a Prefetch file"},
      {{"-pipe", "-csv", "-append", "-out", other}, other, "it holds a Prefetch file"},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> target_before = kerf::testing::read_file_bytes(c.target);
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 255) << c.target;
    EXPECT_EQ(result.err, "prob opening file " + c.target + " for output, aborting: " + c.reason + "\n");
    EXPECT_EQ(kerf::testing::read_file_bytes(c.target), target_before) << c.target;
  }
  struct stat after {};
  ASSERT_EQ(::stat(input.c_str(), &after), 0);
  EXPECT_EQ(kerf::testing::read_file_bytes(input), original);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

  // In a bulk run the results file itself, met among the inputs, is skipped.
  const std::string results = dir.file("results.csv");
  RunOptions piped;
  piped.input = input + "\n" + results + "\n";
  const RunResult bulk = run({"-pipe", "-csv", "-out", results}, piped);
  EXPECT_EQ(bulk.err, "skipped " + results + ": it is a file this run writes to\nkerf: 1 file: 1 reported, 0 failed\n");
  EXPECT_EQ(bulk.status, 0);
}

// The times a report shows are those the file had before kerf read it, and
// reading it does not change them.
TEST(CliRun, TheFileTimesAreThoseItHadBeforeTheRun) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  // Accessed in 2001, modified in 2020: a read would move the access time
  // on (an access time older than the modification time is updated).
  const timespec times[2] = {{978307200, 0}, {1583298367, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  const RunResult result = run({file, "-longform"});
  EXPECT_NE(result.out.find("\naccessed:       2001-01-01 00:00:00\n"), std::string::npos) << result.out;
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, 978307200);
}

TEST(CliResultsFile, WriteFailuresFailTheRun) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  RunOptions to_full;
  to_full.stdout_path = "/dev/full";
  RunOptions closed;
  closed.close_stdout = true;
  struct Case {
    Args args;
    RunOptions options;
  };
  const std::vector<Case> cases = {
      {{file, "-out", "/dev/full"}, {}},
      {{file}, to_full},
      {{file}, closed},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args, c.options);
    EXPECT_EQ(result.status, 255) << c.args[0];
    EXPECT_NE(result.err.find("prob writing results\n"), std::string::npos) << result.err;
  }
}

TEST(CliEndOfRun, DiagnosticsAndProfile) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string diags = dir.file("diags.txt");
  const Args args = {file, "-diags", diags, "-l2", "-profile", "-hostname", "a b"};
  const RunResult result = run(args);
  EXPECT_EQ(result.status, 0);
  // Standard error is no terminal here: no line is blanked, only the
  // profile line is written.
  EXPECT_TRUE(std::regex_match(result.err, std::regex(R"(->\d+\.\d+ secs\n)"))) << result.err;

  // The command line as typed (no added -longform), then the profile line.
  Args all{kerf::testing::kerf_exe()};
  all.insert(all.end(), args.begin(), args.end());
  EXPECT_EQ(read_file_text(diags), "->" + kerf::ArgList(all).joined() + "\n" + result.err);
}

}  // namespace
