// What tells an examiner how to run kerf: --help (the whole option
// reference), --version, the man page and the shell completion. Each of
// them must name exactly the options the parser knows, so that none can
// fall behind the code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/usage.h"
#include "tests/support/run_kerf.h"
#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_text;
using kerf::testing::RunOptions;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
using Args = std::vector<std::string>;
using Words = std::set<std::string>;

const std::string kSourceDir = KERF_SOURCE_DIR;

// Every word kerf answers: the parser's options and the help words, which
// are answered before the parser sees the command line.
Words known_words() {
  Words words = {"-h", "-help", "/?", "--help", "--version"};
  for (const std::string_view word : kerf::recognised_options()) words.emplace(word);
  return words;
}

// The option words of a line's option part: "-out, -outfile <file>" gives
// "-out" and "-outfile".
void add_option_words(const std::string& part, Words& words) {
  std::istringstream in(part);
  for (std::string word; in >> word;) {
    if (word.ends_with(',')) word.pop_back();
    if (word.starts_with('-') || word == "/?") words.insert(word);
  }
}

// The reference's option lines: two blanks, the option words, and the
// meaning after two more blanks.
Words reference_options(const std::string& reference) {
  Words words;
  std::istringstream lines(reference);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  -") || line.starts_with("  /")) {
      add_option_words(line.substr(2, line.find("  ", 2) - 2), words);
    }
  }
  return words;
}

// The line after each .TP under OPTIONS, its font changes, quotes and
// macro name dropped.
Words man_page_options(const std::string& page) {
  Words words;
  std::istringstream lines(page);
  bool in_options = false;
  bool tag_next = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(".SH")) {
      in_options = line == ".SH OPTIONS";
      continue;
    }
    if (!in_options) continue;
    if (line.starts_with(".TP")) {
      tag_next = true;
      continue;
    }
    if (!tag_next) continue;
    tag_next = false;
    std::string plain;
    for (std::size_t i = line.starts_with('.') ? line.find(' ') : 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'f') {
        i += 2;  // \fB, \fI, \fR, \fP
      } else if (line[i] == '\\') {
        continue;  // "\-" is "-"
      } else if (line[i] == '"') {
        plain.push_back(' ');
      } else {
        plain.push_back(line[i]);
      }
    }
    add_option_words(plain, words);
  }
  return words;
}

// What `names` lacks of the words kerf knows, and what it names that kerf
// does not know.
std::string differences(const Words& names) {
  const Words known = known_words();
  std::string text;
  for (const std::string& word : known) {
    if (!names.contains(word)) text += " missing " + word;
  }
  for (const std::string& word : names) {
    if (!known.contains(word)) text += " unknown " + word;
  }
  return text;
}

RunResult run(const Args& args, RunOptions options = {}) {
  RunResult result = kerf::testing::run_kerf(args, options);
  EXPECT_FALSE(result.timed_out);
  return result;
}

TEST(OptionDocs, ReferenceAndManPageNameExactlyTheOptionsKerfKnows) {
  const RunResult help = run({"--help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_EQ(differences(reference_options(help.out)), "");
  EXPECT_EQ(differences(man_page_options(read_file_text(kSourceDir + "/docs/kerf.1"))), "");
}

TEST(OptionDocs, HelpAndVersionAnswerWhateverElseIsGiven) {
  const std::string reference = run({"--help"}).out;
  ASSERT_TRUE(reference.starts_with("kerf 1.40 ")) << reference;
  // Made for a terminal: 80 columns at most, and the meanings in one column
  // unless the option words reach into it.
  std::istringstream lines(reference);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    if (!line.starts_with("  -") && !line.starts_with("  /")) continue;
    const std::size_t gap = line.find("  ", 2);
    if (gap == std::string::npos) continue;
    const std::size_t meaning = line.find_first_not_of(' ', gap);
    EXPECT_TRUE(meaning == 30 || (gap > 28 && meaning == gap + 2)) << line;
  }
  const std::string usage = kerf::usage_text(kerf::testing::kerf_exe());
  struct Case {
    Args args;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--HELP"}, reference, ""},
      // Wherever it stands, even where an option would take it for its value.
      {{"x.pf", "-csv", "-out", "--Help"}, reference, ""},
      {{"-h", "--help"}, reference, ""},
      {{"--version"}, "kerf 1.40\n", ""},
      {{"-sqlite", "db", "--VERSION", "x.pf"}, "kerf 1.40\n", ""},
      {{"--version", "--help"}, reference, ""},
      // The other help words keep the short usage on standard error.
      {{"--version", "/?"}, "", usage},
  };
  for (const Case& c : cases) {
    const RunResult result = run(c.args);
    EXPECT_EQ(result.status, 0) << c.args[0];
    EXPECT_EQ(result.out, c.out) << c.args[0];
    EXPECT_EQ(result.err, c.err) << c.args[0];
  }
}

TEST(OptionDocs, AnswersThatCannotBeWrittenFailTheRun) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  RunOptions to_full;
  to_full.stdout_path = "/dev/full";
  RunOptions closed;
  closed.close_stdout = true;
  for (const std::string word : {"--help", "--version"}) {
    for (const RunOptions& options : {to_full, closed}) {
      const RunResult result = run({word}, options);
      EXPECT_EQ(result.status, 255) << word;
      EXPECT_EQ(result.err, "prob writing to standard output\n") << word;
    }
  }
}

// Runs the completion on each command line in `lines` (the last word, maybe
// empty, is the one completed) with the built kerf on the PATH, in `dir`;
// one output line per command line: the line, ":", the answers in byte
// order joined by "|".
RunResult complete(const TempDir& dir, const Args& lines) {
  const std::string script = R"sh(
source "$1"; shift
read -ra registered <<<"$(complete -p kerf)"
for ((i = 0; i < ${#registered[@]}; ++i)); do [[ ${registered[i]} == -F ]] && fn=${registered[i + 1]}; done
for line in "$@"; do
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "$fn" kerf "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  mapfile -t sorted < <(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
  (IFS='|'; printf '%s:%s\n' "$line" "${sorted[*]}")
done
)sh";
  Args args = {"-c", script, "bash", kSourceDir + "/completion/kerf.bash"};
  args.insert(args.end(), lines.begin(), lines.end());
  RunOptions options;
  options.working_dir = dir.path().string();
  const char* path = std::getenv("PATH");
  options.env = {{"PATH", std::filesystem::path(kerf::testing::kerf_exe()).parent_path().string() + ":" +
                              (path == nullptr ? "/usr/bin:/bin" : path)}};
  return kerf::testing::run_program("/bin/bash", args, options);
}

TEST(OptionDocs, ShellCompletionOffersOptionsFilesAndDirectories) {
  if (::access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no bash";
  TempDir dir;
  dir.write_text("a.pf", "");
  dir.write_text("b.txt", "");
  dir.write_text("two words.pf", "");
  dir.write_text("sub/c.pf", "");
  const RunResult result = complete(dir, {"kerf ", "kerf -csv t", "kerf -out ", "kerf -OUTFILE s", "kerf -diags b",
                                          "kerf -enumdir ", "kerf -hostname ", "kerf -filter_sig ", "kerf -out -",
                                          "kerf x.pf -cs", "kerf --", "kerf -num"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "kerf :a.pf|b.txt|sub|two words.pf\n"
            "kerf -csv t:two words.pf\n"
            "kerf -out :a.pf|b.txt|sub|two words.pf\n"
            "kerf -OUTFILE s:sub\n"
            "kerf -diags b:b.txt\n"
            "kerf -enumdir :sub\n"
            "kerf -hostname :\n"
            "kerf -filter_sig :\n"
            "kerf -out -:\n"
            "kerf x.pf -cs:-csv|-csv_separator|-csvgen|-csvl2t\n"
            "kerf --:--help|--version\n"
            "kerf -num:-num_subdirs\n");

  // Every option kerf knows, and nothing else, starts with "-".
  const std::string all = complete(dir, {"kerf -"}).out;
  ASSERT_TRUE(all.starts_with("kerf -:")) << all;
  Words offered;
  std::istringstream words(all.substr(7));
  for (std::string word; std::getline(words, word, '|');) {
    if (word.ends_with('\n')) word.pop_back();
    offered.insert(word);
  }
  offered.insert("/?");
  EXPECT_EQ(differences(offered), "");
}

}  // namespace
