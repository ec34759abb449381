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

#include "driver/arg_list.h"
#include "driver/options.h"
#include "driver/usage.h"
#include "lib/text/escape.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

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
    if (c.out == Out::nothing) {
      EXPECT_EQ(result.out, "");
      continue;
    }
    const std::string report = header_then(result.out, c.args, c.date);
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
      {{"-HELP"}, "", usage},
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
// are wrong), and the run header alone, or nothing at all where the output
// was to be JSON Lines, also when the one file fails.
TEST(CliUsage, RefusedCommandLinesNameTheReason) {
  TempDir dir;
  const std::string good = write_good_prefetch_file(dir);
  const std::string junk = dir.write_text("junk.pf", "not prefetch!");
  const std::string missing_dir = dir.file("missing/r.txt");
  const std::string not_offered = "This option is not offered in this build\n";
  const std::string not_a_date = ": not a date such as 2024/03/17 or 2024-03-17 10:00, aborting\n";
  expect_runs({
      {{"x.pf", "-CVS"}, 255, "unknown option -CVS\n" + kUsage},
      {{"-num_subdirs", "2"}, 255, "no input file named\n" + kUsage},
      // A value that is missing is not taken from what follows.
      {{"x.pf", "-hostname"}, 255, "option needs a value: -hostname\n" + kUsage},
      {{"-pipe", "x.pf"}, 255, "-pipe reads the names from standard input; unexpected word x.pf\n" + kUsage},
      {{"-enumdir", "./d", "x.pf"}, 255, "-enumdir walks a directory; unexpected word x.pf\n" + kUsage},
      {{"-enumdir", "", "-csv"}, 255, "no directory named for -enumdir, aborting\n"},
      {{"x.pf", "-num_subdirs", "-1"}, 255, "invalid -num_subdirs value -1: a whole number from 0 up, aborting\n"},
      {{"x.pf", "-num_subdirs", ""}, 255, "invalid -num_subdirs value : a whole number from 0 up, aborting\n"},
      {{"x.pf", "-num_subdirs", "0x10"}, 255, "invalid -num_subdirs value 0x10: a whole number from 0 up, aborting\n"},
      {{"x.pf", "-threads", " 2"}, 255, "invalid -threads value  2: a whole number from 0 up, aborting\n"},
      {{"x.pf", "-SQLITE_LOG", "db"}, 255, not_offered},
      {{"x.pf", "-alias", "c:|/mnt/c|d:"}, 255, "imbalanced alias to true pathfiles, aborting\n"},
      {{"x.pf", "-out", missing_dir}, 255,
       "prob opening file " + missing_dir + " for output, aborting: no such file or directory\n"},
      {{"x.pf", "-cmd_start_time", "20240101"}, 255, "invalid start time 20240101" + not_a_date},
      {{"x.pf", "-cmd_stop_time", " 10:00"}, 255, "invalid stop time  10:00" + not_a_date},
      {{good, "-json", "-filter_sig", "4d4"}, 255, "invalid filter signature 4d4, aborting\n", Out::nothing},
      {{good, "-TIMESKETCH", "-sqlite", "db"}, 255, not_offered, Out::nothing},
      {{good, "-csv", "-no_run_header", "-sqlite", "db"}, 255, not_offered, Out::nothing},
      {{"-timesketch"}, 255, "no input file named\n" + kUsage, Out::nothing},
      {{junk, "-json"}, 255, "prob reading file " + junk + ": not a Prefetch file\n", Out::nothing},
      // A later -longform brings the header back with the long form.
      {{good, "-json", "-longform", "-sqlite", "db"}, 255, not_offered},
  });
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
      // Options that kerf accepts and ignores.
      {{"-CSV", good, "-gzip", "-zlibex", "9", "-threads", "4", "-base10", "-outdir", "d"}, 0, "", Out::report},
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
}

TEST(CliResultsFile, EarlierContentIsKeptOnlyWhereItShouldBe) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string results = dir.file("results.txt");
  const std::string earlier = "earlier results\n";

  // A command line found wrong leaves an existing file as it was and
  // creates none.
  for (const Args& wrong : {Args{file, "-out", results, "-sqlite", "x"}, Args{file, "-append", "-out", results, "-cvs"}}) {
    dir.write_text("results.txt", earlier);
    EXPECT_EQ(run_kerf(wrong).status, 255);
    EXPECT_EQ(read_file_text(results), earlier);
    std::filesystem::remove(results);
    EXPECT_EQ(run_kerf(wrong).status, 255);
    EXPECT_FALSE(std::filesystem::exists(results));
  }

  // -append adds to it in every mode.
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
// any name), not a file that holds a Prefetch image or container. Results
// that can't be written, or answers to a help word, fail the run.
TEST(CliResultsFile, EvidenceIsNeverWrittenAndWriteFailuresFailTheRun) {
  TempDir dir;
  const std::string input = write_good_prefetch_file(dir, "E.pf");
  const std::string other = write_good_prefetch_file(dir, "OTHER.pf");
  const std::string linked = dir.file("link.txt");
  ASSERT_EQ(::link(input.c_str(), linked.c_str()), 0);
  const std::string container = dir.write("C.txt", kerf::testing::make_mam_container(std::vector<std::uint8_t>(64, 1)));
  const std::string mem0 = dir.write("M.txt", kerf::testing::make_mem0_container(std::vector<std::uint8_t>(64, 1)));
  const std::string lz77 = dir.write("L.txt", kerf::testing::make_lz77_container(std::vector<std::uint8_t>(64, 1)));
  const std::vector<std::uint8_t> evidence[] = {read_file_bytes(input), read_file_bytes(other),
                                                read_file_bytes(container)};
  struct stat before {};
  ASSERT_EQ(::stat(input.c_str(), &before), 0);
  const auto refused = [](const std::string& target, const std::string& reason) {
    return "prob opening file " + target + " for output, aborting: " + reason + "\n";
  };
  const std::string unwritable = "prob writing to standard output\n";
  RunOptions to_full;
  to_full.stdout_path = "/dev/full";
  RunOptions closed;
  closed.close_stdout = true;
  std::vector<RunCase> cases = {
      {{input, "-out", input}, 255, refused(input, "it is an input file")},
      {{input, "-diags", input}, 255, refused(input, "it is an input file")},
      {{input, "-csv", "-append", "-out", linked}, 255, refused(linked, "it is an input file")},
      {{input, "-csv", "-out", other}, 255, refused(other, "it holds a Prefetch file")},
      {{input, "-diags", container}, 255, refused(container, "it holds a Prefetch file")},
      {{input, "-diags", mem0}, 255, refused(mem0, "it holds a Prefetch file")},
      {{input, "-out", lz77}, 255, refused(lz77, "it holds a Prefetch file")},
      {{"-pipe", "-csv", "-append", "-out", other}, 255, refused(other, "it holds a Prefetch file")},
  };
  if (::access("/dev/full", W_OK) == 0) {
    cases.insert(cases.end(), {{{input, "-out", "/dev/full"}, 255, "prob writing results\n", Out::nothing},
                               {{input}, 255, "prob writing results\n", Out::nothing, to_full},
                               {{input}, 255, "prob writing results\n", Out::nothing, closed},
                               {{"--help"}, 255, unwritable, Out::nothing, to_full},
                               {{"--version"}, 255, unwritable, Out::nothing, to_full},
                               {{"--help"}, 255, unwritable, Out::nothing, closed},
                               {{"--version"}, 255, unwritable, Out::nothing, closed}});
  }
  expect_runs(cases);
  EXPECT_EQ(read_file_bytes(input), evidence[0]);
  EXPECT_EQ(read_file_bytes(other), evidence[1]);
  EXPECT_EQ(read_file_bytes(container), evidence[2]);
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
// with the read and write bits the umask leaves.
TEST(CliEndOfRun, DiagnosticsAndProfile) {
  TempDir dir;
  const std::string file = write_good_prefetch_file(dir);
  const std::string diags = dir.file("diags.txt");
  // -profile comes right after -num_subdirs in the option table and is an
  // option of its own, not another spelling of it.
  const Args args = {file, "-diags", diags, "-l2", "-num_subdirs", "1", "-profile", "-hostname", "a b"};
  RunOptions options;
  options.umask = 027;
  const RunResult result = run_kerf(args, options);
  EXPECT_EQ(result.status, 0);
  // Standard error is no terminal here: no line is blanked, only the
  // profile line is written.
  EXPECT_TRUE(std::regex_match(result.err, std::regex(R"(->\d+\.\d+ secs\n)"))) << result.err;
  // The command line as typed (no added -longform), then the profile line.
  Args all{kerf::testing::kerf_exe()};
  all.insert(all.end(), args.begin(), args.end());
  EXPECT_EQ(read_file_text(diags), "->" + kerf::ArgList(all).joined() + "\n" + result.err);
  struct stat status {};
  ASSERT_EQ(::stat(diags.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

using Words = std::set<std::string>;

// The option words of a line's option part: "-out, -outfile <file>" gives
// "-out" and "-outfile".
void add_option_words(const std::string& part, Words& words) {
  std::istringstream in(part);
  for (std::string word; in >> word;) {
    if (word.ends_with(',')) word.pop_back();
    if (word.starts_with('-') || word == "/?") words.insert(word);
  }
}

// What `names` lacks of the words kerf answers (the parser's options and
// the help words, answered before the parser sees the command line), and
// what it names that kerf does not know.
std::string differences(const Words& names) {
  Words known = {"-h", "-help", "/?", "--help", "--version"};
  for (const std::string_view word : kerf::recognised_options()) known.emplace(word);
  std::string text;
  for (const std::string& word : known) {
    if (!names.contains(word)) text += " missing " + word;
  }
  for (const std::string& word : names) {
    if (!known.contains(word)) text += " unknown " + word;
  }
  return text;
}

TEST(OptionDocs, ReferenceAndManPageNameExactlyTheOptionsKerfKnows) {
  // The reference's option lines: two blanks, the option words, and the
  // meaning after two more blanks.
  Words reference;
  std::istringstream lines(run_kerf({"--help"}).out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  -") || line.starts_with("  /")) {
      add_option_words(line.substr(2, line.find("  ", 2) - 2), reference);
    }
  }
  EXPECT_EQ(differences(reference), "");

  // The line after each .TP under OPTIONS, its font changes, quotes and
  // macro name dropped ("\-" is "-").
  const std::string page = read_file_text(kSourceDir + "/docs/kerf.1");
  const std::size_t start = page.find("\n.SH OPTIONS\n");
  const std::string options = page.substr(start, page.find("\n.SH ", start + 1) - start);
  const std::regex tagged(R"(\n\.TP[^\n]*\n(\.[A-Z]+ )?([^\n]*))");
  Words man_page;
  for (auto it = std::sregex_iterator(options.begin(), options.end(), tagged); it != std::sregex_iterator(); ++it) {
    add_option_words(std::regex_replace(std::regex_replace((*it)[2].str(), std::regex(R"(\\f.|")"), " "),
                                        std::regex(R"(\\)"), ""),
                     man_page);
  }
  EXPECT_EQ(differences(man_page), "");
}

}  // namespace
