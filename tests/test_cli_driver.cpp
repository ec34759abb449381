// The program as a user runs it: help and usage, the run header, option
// failures and their messages, the exit status, the results file, and what
// the end of a run writes to standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "driver/usage.h"
#include "driver/arg_list.h"
#include "lib/text/escape.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_text;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
using Args = std::vector<std::string>;

const std::string kClearLine = "\x1b[2K\r" + std::string(27, ' ') + "\r";

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
  for (const Args& args : {Args{"-HELP"}, Args{"--Help"}, Args{"/?"}, Args{"-h"},
                           Args{"x.pf", "-csv", "-Help"}, Args{"-sqlite", "x", "-h"}}) {
    RunOptions options;
    options.argv0 = "%s/odd name";  // substituted as text, never as a format
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 0) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_EQ(result.err, kerf::usage_text("%s/odd name")) << args[0];
  }
}

TEST(CliUsage, NoInputOrWordsLeftOverShowTheUsageAfterTheHeader) {
  for (const Args& args : {Args{"a.pf", "b.pf"}, Args{"a.pf", "-nosuchoption"}, Args{"-csv"},
                           Args{"x.pf", "-prevtimes"}, Args{"-num_subdirs", "2"},
                           // No value: a word left over (and not the value of an added -longform).
                           Args{"x.pf", "-hostname"}}) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 0) << args[0];
    EXPECT_EQ(after_header(result.out, args), "");
    // The base name of the program is shown on this path.
    EXPECT_EQ(result.err, kerf::usage_text("kerf") + kClearLine) << args[0];
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
      {{"x.pf", "-out", missing_dir}, "prob opening file " + missing_dir + " for output, aborting\n"},
      {{"x.pf", "-cmd_start_time", "20240101"}, ""},
      {{"x.pf", "-cmd_stop_time", " 10:00"}, ""},
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
      {{junk, "-json"}, 255, kClearLine},
      {{"-timesketch"}, 0, kerf::usage_text("kerf") + kClearLine},
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
  EXPECT_EQ(run({"-pipe", "-json", "-out", results, "-append"}, piped).status, 0);
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
      {{file, "-cmd_start_time", "2024/13/01"}, "invalid start time, ignoring\n"},
      {{file, "-cmd_stop_time", "2024-02-30 10:00"}, "invalid stop time, ignoring\n"},
      {{file, "-cmd_start_time", "2024/03/17 10:00", "-cmd_stop_time", "2024/03/17 09:59"},
       "invalid stop time, ignoring\n"},
      {{file, "-cmd_start_time", "2024/03/17", "-cmd_stop_time", "2024/03/17"}, ""},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 0) << c.args[1];
    EXPECT_EQ(result.err, c.messages + kClearLine) << c.args[1];
  }
}

TEST(CliRun, StatusFollowsTheFile) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");
  const std::string missing = dir.file("missing.pf");
  struct Case {
    Args args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{good}, 0, kClearLine},
      {{junk}, 255, kClearLine},
      {{missing}, 255, "prob reading file " + missing + "\n" + kClearLine},
      {{missing, "-quiet"}, 255, ""},
      {{good, "-quiet"}, 0, ""},
      {{"%KERF_TEST_PF_DIR%/CMD.EXE-4A81B364.pf"}, 0, kClearLine},  // the reference expanded
      // Options that kerf accepts and ignores.
      {{"-CSV", good, "-gzip", "-zlibex", "9", "-threads", "4", "-base10", "-outdir", "d"}, 0, kClearLine},
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
}

TEST(CliHeader, DateFormatAndQuotedCommandLine) {
  TempDir dir;
  // A control character in a name handed over is escaped in the header too.
  const std::string file = write_good_prefetch_file(dir, "with space\x1b[31m.pf");
  // The -dateformat value is used as typed, even when the parser refuses it.
  const Args args = {file, "-dateformat", "yyyy-mm-dd", "-hostname", "WS 01"};
  EXPECT_TRUE(after_header(run(args).out, args, R"(\d{4}-\d\d-\d\d)").starts_with(longform_start(file)));
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

  // A failed parse after the name was probed leaves the file as it was.
  dir.write_text("results.txt", earlier);
  EXPECT_EQ(run({file, "-out", results, "-sqlite", "x"}).status, 255);
  EXPECT_EQ(read_file_text(results), earlier);

  // -append in either bulk mode adds to it.
  for (const Args& bulk : {Args{"-pipe", "-csv", "-out", results, "-append"},
                           Args{"-enumdir", dir.file("none/"), "-csv", "-out", results, "-append"}}) {
    dir.write_text("results.txt", earlier);
    run(bulk);
    const std::string appended = read_file_text(results);
    ASSERT_TRUE(appended.starts_with(earlier));
    EXPECT_EQ(after_header(appended.substr(earlier.size()), bulk), "");
  }

  // In single-file mode -append is a word too many: usage, and a fresh file.
  dir.write_text("results.txt", earlier);
  const Args single = {file, "-out", results, "-append"};
  const RunResult result = run(single);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, kerf::usage_text("kerf") + kClearLine);
  EXPECT_EQ(after_header(read_file_text(results), single), "");
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
      {{"-csv"}, to_full},  // the usage path writes the header as well
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
  const Args args = {file, "-diags", diags, "-profile", "-hostname", "a b"};
  const RunResult result = run(args);
  EXPECT_EQ(result.status, 0);
  ASSERT_TRUE(result.err.starts_with(kClearLine)) << result.err;
  const std::string profile = result.err.substr(kClearLine.size());
  EXPECT_TRUE(std::regex_match(profile, std::regex(R"(->\d+\.\d+ secs\n)"))) << profile;

  // The command line as typed (no added -longform), then the profile line.
  Args all{kerf::testing::kerf_exe()};
  all.insert(all.end(), args.begin(), args.end());
  EXPECT_EQ(read_file_text(diags), "->" + kerf::ArgList(all).joined() + "\n" + profile);

  // -quiet drops the line clearing but not the profile.
  const RunResult quiet = run({file, "-profile", "-quiet"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_TRUE(std::regex_match(quiet.err, std::regex(R"(->\d+\.\d+ secs\n)"))) << quiet.err;
}

}  // namespace
