#include "driver/cli/option_table.h"

#include <algorithm>
#include <array>

namespace kerf {

namespace {

using Line = ParsedCommandLine;

template <bool Line::*field>
void flag(Line& line, std::string) {
  line.*field = true;
}

template <auto field>
void set(Line& line, std::string value) {
  line.*field = std::move(value);
}

template <std::vector<std::string> Line::*field>
void add(Line& line, std::string value) {
  (line.*field).push_back(std::move(value));
}

using enum OptionGroup;
constexpr std::string_view kSame = kSharesLine;

// Adding an option is adding its entry here (and, when it is looked for on
// its own, its word to kLookupOrder below), and its entry in docs/kerf.1.
constexpr std::array kOptions = {
    OptionSpec{"-csv", "", layouts, "comma-separated table, one line per file", flag<&Line::csv>},
    OptionSpec{"-csvl2t", "", layouts, "log2timeline CSV timeline", flag<&Line::csvl2t>},
    OptionSpec{"-bodyfile", "", layouts, "Sleuth Kit body file, for mactime", flag<&Line::bodyfile>},
    OptionSpec{"-json", "", layouts, "JSON Lines: one object per file, every fact", flag<&Line::json>},
    OptionSpec{"-timesketch", "", layouts, "JSON Lines: one event per time, for Timesketch", flag<&Line::timesketch>},
    OptionSpec{"-html", "", layouts, "one HTML page for the run, with a timeline", flag<&Line::html>},
    OptionSpec{"-longform", "", layouts, "the long-form report, whatever else is given", flag<&Line::longform>},
    OptionSpec{"-history", "", layouts, "one record per Prefetch file across all its copies",
               flag<&Line::history>},
    OptionSpec{"-verbose", "", layouts, "long-form in -pipe -enumdir; more in -csv/-csvl2t", flag<&Line::verbose>},
    OptionSpec{"-v", "", layouts, kSame, flag<&Line::verbose>, Taking::once, {}, "-verbose"},
    OptionSpec{"-csvgen", "", layouts, "the long-form report", flag<&Line::csvgen>},
    OptionSpec{"-xml", "", layouts, kSame, flag<&Line::xml>},
    OptionSpec{"-multiline", "", layouts, kSame, flag<&Line::multiline>},

    OptionSpec{"-image", "<file>", input, "read Prefetch files from a disk image (repeatable)",
               add<&Line::images>, Taking::each},
    OptionSpec{"-vss", "", input, "with -image: also read each volume's shadow copies", flag<&Line::vss>},
    OptionSpec{"-vss_stores", "<list>", input, "only these stores, e.g. 1,3-5 (implies -vss)", set<&Line::vss_stores>},
    OptionSpec{"-carve", "", input, "scan named files and free space for Prefetch data",
               flag<&Line::carve>},
    OptionSpec{"-pipe", "", input, "read file names from standard input, one a line", flag<&Line::pipe>},
    OptionSpec{"-enumdir", "<dir>", input, "search <dir> (-image: that folder in each volume)",
               set<&Line::walk_directory>},
    OptionSpec{"-num_subdirs", "<n>", input, "levels below -enumdir to search (default 0)", set<&Line::walk_depth>},
    OptionSpec{"-filter", "<patterns>", input, "bulk runs: only names like *.pf, cmd*, *x*, /dir",
               add<&Line::filters>, Taking::each},
    OptionSpec{"-filter_sig", "<hex>[|offset]", input, "also let through files with these bytes there",
               add<&Line::signatures>, Taking::each},
    OptionSpec{"-cmd_start_time", "<date>", input, "only files modified from yyyy/mm/dd [hh:mm[:ss]]",
               set<&Line::start_time>},
    OptionSpec{"-cmd_stop_time", "<date>", input, "only files modified up to this date and time",
               set<&Line::stop_time>},
    OptionSpec{"-pf_path", "", input, "each Prefetch file's own path in the table", flag<&Line::pf_path>},
    OptionSpec{"-verify", "", input, "check the stored hash: the path it proves", flag<&Line::verify>},

    OptionSpec{"-out", "<file>", output, "write to <file> (created, or emptied)", set<&Line::results_file>},
    OptionSpec{"-outfile", "<file>", output, kSame, set<&Line::results_file>, Taking::once, {}, "-out"},
    OptionSpec{"-append", "", output, "add to the -out file, don't empty it", flag<&Line::append>},
    OptionSpec{"-hostname", "<name>", output, "host name column of the tables and timelines", set<&Line::hostname>},
    OptionSpec{"-username", "<name>", output, "user column of the tables and timelines", set<&Line::username>},
    OptionSpec{"-no_run_header", "", output, "no run header before a table or report", flag<&Line::no_run_header>},
    OptionSpec{"-dateformat", "<pattern>", output, "date pattern (default yyyy-mm-dd)", set<&Line::date_pattern>},
    OptionSpec{"-timeformat", "<pattern>", output, "time pattern (default hh:mm:ss.xxx)", set<&Line::time_pattern>},
    OptionSpec{"-pair_datetime", "", output, "date and time in one field", flag<&Line::pair_datetime>},
    OptionSpec{"-no_whitespace", "", output, "no blanks around the separator", flag<&Line::no_whitespace>},
    OptionSpec{"-csv_separator", "<text>", output, "separator of the tables and -csvl2t (tab: a tab)",
               set<&Line::separator>},
    OptionSpec{"-enable_quoted_csv_fields", "", output, "quote the fields of the tables", flag<&Line::quoted_fields>},
    OptionSpec{"-sqlite", "<db>", output, "not offered in this build: the run is refused", set<&Line::database>,
               Taking::once, {}, "-sqlite_log"},
    OptionSpec{"-sqlite_log", "<db>", output, kSame, set<&Line::database>},

    OptionSpec{"-quiet", "", run, "no progress line, file messages or summary", flag<&Line::quiet>},
    OptionSpec{"-threads", "<n>", run, "threads decoding a bulk run (0: one per CPU)", set<&Line::threads>},
    OptionSpec{"-profile", "", run, "the run's duration on standard error at the end", flag<&Line::profile>},
    OptionSpec{"-diags", "<file>", run, "write diagnostics to <file>", set<&Line::diagnostics>},
    OptionSpec{"-h", "", run, "the short usage, on standard error", nullptr, Taking::help, {}, {}, HelpAnswer::usage},
    OptionSpec{"-help", "", run, kSame, nullptr, Taking::help, {}, {}, HelpAnswer::usage},
    OptionSpec{"/?", "", run, kSame, nullptr, Taking::help, {}, {}, HelpAnswer::usage},
    OptionSpec{"--help", "", run, "this reference, on standard output", nullptr, Taking::help, {}, {},
               HelpAnswer::reference},
    OptionSpec{"--version", "", run, "the version, on standard output", nullptr, Taking::help, {}, {},
               HelpAnswer::version},

    // Kept so that old command lines still run.
    OptionSpec{"-alias", "<pairs>", ignored, "alias|path pairs; an odd count refuses the run", add<&Line::aliases>},
    OptionSpec{"-aliaspath", "<pairs>", ignored, kSame, add<&Line::aliases>},
    OptionSpec{"-l2", "", ignored, "after -diags", nullptr, Taking::follow, "-diags"},
    OptionSpec{"-l3", "", ignored, kSame, nullptr, Taking::follow, "-diags", "-l2"},
    OptionSpec{"-filter_path", "<text>", ignored, "after -filter", nullptr, Taking::follow, "-filter"},
    OptionSpec{"-filter_skip", "<text>", ignored, "", nullptr, Taking::each},
    OptionSpec{"-gzip", "", ignored, ""},
    OptionSpec{"-zlib", "", ignored, kSame},
    OptionSpec{"-zlibex", "<n>", ignored, ""},
    OptionSpec{"-signal", "<text>", ignored, ""},
    OptionSpec{"-split_pathfile", "", ignored, ""},
    OptionSpec{"-separate_files", "", ignored, kSame},
    OptionSpec{"-cpu", "<text>", ignored, ""},
    OptionSpec{"-cpuinst", "<text>", ignored, kSame},
    OptionSpec{"-fragment_files", "<text>", ignored, ""},
    OptionSpec{"-outdir", "<dir>", ignored, ""},
    OptionSpec{"-base10", "", ignored, ""},
    OptionSpec{"-base16", "", ignored, kSame},
};

// The order in which the options are taken out of the argument list. Each
// takes the first occurrence of its word (and the word after it), so where
// an option's value is another option's word, the one looked for first
// wins it: "-diags -csv" names a diagnostics file "-csv". Which layout wins
// when several are given is decided elsewhere, in plain code.
constexpr std::array<std::string_view, 59> kLookupOrder = {
    "-pair_datetime", "-diags",    "-csv",       "-csvgen",         "-csvl2t",        "-bodyfile",
    "-xml",           "-multiline", "-json",      "-timesketch",     "-alias",         "-aliaspath",
    "-gzip",          "-zlib",     "-threads",   "-zlibex",         "-sqlite_log",    "-sqlite",
    "-signal",        "-hostname", "-split_pathfile", "-username",  "-cpuinst",       "-cpu",
    "-fragment_files", "-separate_files", "-out", "-outfile",       "-append",        "-outdir",
    "-enumdir",       "-num_subdirs", "-profile", "-pipe",          "-filter_skip",   "-filter",
    "-filter_sig",    "-cmd_start_time", "-cmd_stop_time", "-base10", "-base16",      "-csv_separator",
    "-enable_quoted_csv_fields", "-no_whitespace", "-dateformat", "-timeformat",      "-verbose",
    "-v",             "-quiet",    "-no_run_header", "-pf_path",    "-verify",        "-html",
    "-longform",      "-image",    "-vss_stores", "-vss",          "-history",       "-carve",
};

constexpr const OptionSpec* find_option(std::string_view word) {
  for (const OptionSpec& option : kOptions) {
    if (option.word == word) return &option;
  }
  return nullptr;
}

// Every option that is looked for on its own is in kLookupOrder exactly
// once, and nothing else is.
consteval bool lookup_order_is_complete() {
  std::size_t looked_for = 0;
  for (const OptionSpec& option : kOptions) {
    if (option.taking == Taking::help || option.taking == Taking::follow) continue;
    ++looked_for;
    if (std::count(kLookupOrder.begin(), kLookupOrder.end(), option.word) != 1) return false;
  }
  for (const std::string_view word : kLookupOrder) {
    if (find_option(word) == nullptr) return false;
  }
  return looked_for == kLookupOrder.size();
}
static_assert(lookup_order_is_complete());

class Reader {
 public:
  Reader(ArgList& args, ParsedCommandLine& line) : m_args(args), m_line(line) {}

  void take(const OptionSpec& option) {
    if (!option.unless.empty() && std::find(m_took.begin(), m_took.end(), option.unless) != m_took.end()) return;
    if (option.value.empty()) {
      if (m_args.take_flag(option.word)) record(option, {});
      return;
    }
    while (std::optional<std::string> value = m_args.take_value(option.word)) {
      record(option, std::move(*value));
      if (option.taking != Taking::each) break;
    }
  }

 private:
  // Records the value, then takes the options that follow this one.
  void record(const OptionSpec& option, std::string value) {
    m_took.push_back(option.word);
    if (option.record != nullptr) option.record(m_line, std::move(value));
    for (const OptionSpec& companion : kOptions) {
      if (companion.taking == Taking::follow && companion.other == option.word) take(companion);
    }
  }

  ArgList& m_args;
  ParsedCommandLine& m_line;
  std::vector<std::string_view> m_took;
};

}  // namespace

bool ParsedCommandLine::was_typed(std::string_view word) const {
  return std::find(typed.begin(), typed.end(), word) != typed.end();
}

std::span<const OptionSpec> option_table() { return kOptions; }

HelpAnswer help_answer(const ArgList& args) {
  if (args.size() <= 1) return HelpAnswer::usage;
  HelpAnswer answer = HelpAnswer::none;
  for (const OptionSpec& option : kOptions) {
    if (option.taking == Taking::help && args.has(option.word)) answer = std::max(answer, option.answer);
  }
  return answer;
}

ParsedCommandLine read_command_line(ArgList args) {
  ParsedCommandLine line;
  line.arguments = args;
  for (const OptionSpec& option : kOptions) {
    if (option.taking != Taking::help && args.has(option.word, 1)) line.typed.push_back(option.word);
  }
  line.dateformat_typed = args.peek_value("-dateformat", 1);
  Reader reader(args, line);
  for (const std::string_view word : kLookupOrder) reader.take(*find_option(word));
  if (args.size() > 1) line.names.assign(args.words().begin() + 1, args.words().end());
  return line;
}

std::vector<std::string_view> recognised_options() {
  std::vector<std::string_view> words;
  for (const OptionSpec& option : kOptions) {
    if (option.taking != Taking::help) words.push_back(option.word);
  }
  return words;
}

}  // namespace kerf
