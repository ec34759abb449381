// The program as a user runs it: help and usage, the run header, option
// failures and their messages, the exit status, the results file, and what
// the end of a run writes to standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "driver/usage.h"
#include "lib/arg_list.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_text;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;

const std::string kClearLine = "\x1b[2K\r" + std::string(27, ' ') + "\r";

RunResult run(const std::vector<std::string>& args, RunOptions options = {}) {
  RunResult result = kerf::testing::run_kerf(args, options);
  EXPECT_FALSE(result.timed_out) << qv::join_arguments(args);
  return result;
}

// The line-by-line form of a text ending with a line end.
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

// Checks that `output` begins with the run header for `args` (as passed to
// run_kerf, argument 0 being the program path) and an empty line, and
// returns what follows.
std::string after_header(const std::string& output, const std::vector<std::string>& args,
                         const std::string& date = R"(\d\d/\d\d/\d{4})") {
  const std::vector<std::string> lines = lines_of(output);
  EXPECT_GE(lines.size(), 4u) << output;
  if (lines.size() < 4) return {};
  EXPECT_EQ(lines[0], "kerf ver: 1.40");
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("Run start: " + date +
                           R"( \d\d:\d\d:\d\d UTC; Host: [^;]+; OS: [^;]+ \((32|64)-bit\))")))
      << lines[1];
  qv::arg_list all{kerf::testing::kerf_exe()};
  all.insert(all.end(), args.begin(), args.end());
  const bool piped = qv::has_option("-pipe", all, 1);
  EXPECT_EQ(lines[2], "\"Command line: " + std::string(piped ? "<filelist> ... | " : "") +
                          qv::join_arguments(all, '\'') + "\"");
  EXPECT_EQ(lines[3], "");
  const std::size_t header_size = lines[0].size() + lines[1].size() + lines[2].size() + 4;
  return output.substr(header_size);
}

void expect_header_then(const std::string& output, const std::vector<std::string>& args,
                        const std::string& rest = "",
                        const std::string& date = R"(\d\d/\d\d/\d{4})") {
  EXPECT_EQ(after_header(output, args, date), rest);
}

// The first line of the long-form report of `file`.
std::string longform_start(const std::string& file) { return "Analyzing file: " + file + "\n"; }

std::string write_good_prefetch_file(const TempDir& dir,
                                     const std::string& name = "CMD.EXE-4A81B364.pf") {
  const auto image = kerf::testing::PrefetchImageBuilder(30)
                         .exe_name(L"CMD.EXE")
                         .run_times({130971962938281250ull})
                         .run_count(1)
                         .file_names({L"\\VOLUME{1}\\WINDOWS\\SYSTEM32\\CMD.EXE"})
                         .add_volume({L"\\VOLUME{1}", 0x8c9f49ec, 130922674662434681ull, {}})
                         .build();
  return dir.write(name, image);
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
  const std::vector<std::vector<std::string>> cases = {
      {"-HELP"}, {"--Help"}, {"/?"}, {"-h"}, {"x.pf", "-csv", "-Help"}, {"-sqlite", "x", "-h"},
  };
  for (const auto& args : cases) {
    RunOptions options;
    options.argv0 = "%s/odd name";  // substituted as text, never as a format
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 0) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_EQ(result.err, kerf::usage_text("%s/odd name")) << args[0];
  }
}

TEST(CliUsage, NoInputOrWordsLeftOverShowTheUsageAfterTheHeader) {
  const std::vector<std::vector<std::string>> cases = {
      {"a.pf", "b.pf"},       {"a.pf", "-nosuchoption"}, {"-csv"},
      {"x.pf", "-hostname"},  // no value: a word left over
      {"x.pf", "-prevtimes"}, {"-num_subdirs", "2"},
  };
  for (const auto& args : cases) {
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 0) << args[0];
    expect_header_then(result.out, args);
    // The base name of the program is shown on this path.
    EXPECT_EQ(result.err, kerf::usage_text("kerf") + kClearLine) << args[0];
  }
}

TEST(CliOptions, FailuresPrintTheirMessageAndTheHeader) {
  TempDir dir;
  const std::string missing_dir = dir.file("missing/r.txt");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"x.pf", "-sqlite", "db"}, "This option is not offered in this build\n"},
      {{"x.pf", "-SQLITE_LOG", "db"}, "This option is not offered in this build\n"},
      {{"x.pf", "-alias", "c:|/mnt/c|d:"}, "imbalanced alias to true pathfiles, aborting\n"},
      {{"x.pf", "-out", missing_dir},
       "prob opening file " + missing_dir + " for output, aborting\n"},
      {{"x.pf", "-outfile", dir.path().string()},
       "prob opening file " + dir.path().string() + " for output, aborting\n"},
      {{"x.pf", "-cmd_start_time", "20240101"}, ""},
      {{"x.pf", "-cmd_stop_time", " 10:00"}, ""},
      {{"x.pf", "-filter_sig", "4d4"}, "invalid filter signature 4d4, aborting\n"},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 255) << c.args[1];
    EXPECT_EQ(result.err, c.message) << c.args[1];
    expect_header_then(result.out, c.args);
  }
}

TEST(CliOptions, RefusedValuesAreReportedAndTheRunGoesOn) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  struct Case {
    std::vector<std::string> args;
    std::string messages;
  };
  const std::vector<Case> cases = {
      {{file, "-dateformat", "m/d/yy"}, "invalid m/d/yy, using default format\n"},
      {{file, "-timeformat", "hh:mm"}, "invalid hh:mm, using default format\n"},
      {{file, "-timeformat", "hh-mm-ss"}, "invalid hh-mm-ss, using default format\n"},
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
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");  // 13 bytes
  const std::string missing = dir.file("missing.pf");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{good}, 0, kClearLine},
      {{"-CSV", good}, 0, kClearLine},
      {{junk}, 255, kClearLine},
      {{missing}, 255, "prob reading file " + missing + "\n" + kClearLine},
      {{missing, "-quiet"}, 255, ""},
      {{good, "-quiet"}, 0, ""},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.args[0];
    EXPECT_EQ(result.err, c.err) << c.args[0];
    const std::vector<std::string> lines = lines_of(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "kerf ver: 1.40");  // first, and only once
    EXPECT_EQ(result.out.find("kerf ver: 1.40", 1), std::string::npos);
  }
}

TEST(CliRun, InputPathsExpandEnvironmentReferences) {
  TempDir dir;
  write_good_prefetch_file(dir, "A.pf");
  RunOptions options;
  options.env = {{"KERF_TEST_PF_DIR", dir.path().string()}};
  EXPECT_EQ(run({"%KERF_TEST_PF_DIR%/A.pf"}, options).status, 0);
  options.working_dir = dir.path().string();
  EXPECT_EQ(run({"A.pf"}, options).status, 0);
}

TEST(CliHeader, CommandLineAndDateFormat) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir, "with space.pf");
  const std::vector<std::string> args = {file, "-csv", "-hostname", "WS 01"};
  const std::vector<std::string> table = lines_of(after_header(run(args).out, args));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].substr(0, 28), "prefetch file name,app name,");
  EXPECT_EQ(table[1].substr(0, 49), "with space.pf,CMD.EXE,1,2016-01-13, 22:04:53.828,");

  // The -dateformat value is used as typed, even when the parser refuses it.
  const std::vector<std::string> dated = {file, "-dateformat", "yyyy-mm-dd"};
  EXPECT_EQ(after_header(run(dated).out, dated, R"(\d{4}-\d\d-\d\d)").rfind(longform_start(file), 0),
            0u);

  // A bulk run's header shows where the names come from.
  const std::vector<std::string> piped = {"-csv", "-PIPE"};
  const RunResult result = run(piped);
  expect_header_then(result.out, piped);
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
    const std::vector<std::string> args = {file, "-out", results};
    const RunResult result = run(args, options);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(after_header(read_file_text(results), args).rfind(longform_start(file), 0), 0u);
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

  // A fresh run writes the file afresh.
  EXPECT_EQ(run({file, "-out", results}).status, 0);
  EXPECT_EQ(after_header(read_file_text(results), {file, "-out", results}).rfind(longform_start(file), 0),
            0u);

  // -append in a bulk run adds to it.
  dir.write_text("results.txt", earlier);
  const std::vector<std::string> bulk = {"-pipe", "-csv", "-out", results, "-append"};
  run(bulk);
  const std::string appended = read_file_text(results);
  ASSERT_EQ(appended.substr(0, earlier.size()), earlier);
  expect_header_then(appended.substr(earlier.size()), bulk);

  // In single-file mode -append is a word too many: usage, and a fresh file.
  dir.write_text("results.txt", earlier);
  const std::vector<std::string> single = {file, "-out", results, "-append"};
  const RunResult result = run(single);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, kerf::usage_text("kerf") + kClearLine);
  expect_header_then(read_file_text(results), single);
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
    std::vector<std::string> args;
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
    ASSERT_NE(result.err.find("prob writing results\n"), std::string::npos) << result.err;
  }
}

TEST(CliEndOfRun, DiagnosticsAndProfile) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string diags = dir.file("diags.txt");
  const std::regex profile_line(R"(->\d+\.\d+ secs)");

  const std::vector<std::string> args = {file, "-diags", diags, "-profile", "-hostname", "a b"};
  const RunResult result = run(args);
  EXPECT_EQ(result.status, 0);
  ASSERT_TRUE(result.err.starts_with(kClearLine)) << result.err;
  const std::string profile = result.err.substr(kClearLine.size());
  ASSERT_FALSE(profile.empty());
  EXPECT_EQ(profile.back(), '\n');
  EXPECT_TRUE(std::regex_match(profile.substr(0, profile.size() - 1), profile_line)) << profile;

  qv::arg_list all{kerf::testing::kerf_exe()};
  all.insert(all.end(), args.begin(), args.end());
  const std::vector<std::string> diag_lines = lines_of(read_file_text(diags));
  ASSERT_EQ(diag_lines.size(), 2u);
  EXPECT_EQ(diag_lines[0], "->" + qv::join_arguments(all));  // as typed, no added -longform
  EXPECT_EQ(diag_lines[1] + "\n", profile);

  // -quiet drops the line clearing but not the profile.
  const RunResult quiet = run({file, "-profile", "-quiet"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_TRUE(std::regex_match(quiet.err, std::regex(R"(->\d+\.\d+ secs\n)"))) << quiet.err;
}

}  // namespace
