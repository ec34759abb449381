#include "driver/option_reference.h"

#include <array>
#include <string_view>

#include "driver/version.h"

namespace kerf {

namespace {

// One line of the reference: the option words with their value and what
// they do, or, with no words, the title of a group.
struct ReferenceLine {
  std::string_view words;
  std::string_view meaning;
};

constexpr ReferenceLine group(std::string_view title) { return {{}, title}; }

// Where the meanings start; longer words are followed by two blanks, so that
// words and meaning are always told apart by a double blank.
constexpr std::size_t kMeaningColumn = 30;

constexpr std::string_view kIntroduction =
    " decodes Windows Prefetch files (*.pf) and reports what they record.\n"
    "\n"
    "Usage: kerf <file> [options]\n"
    "       kerf <file> <file> ... [options]\n"
    "       find <dir> -iname '*.pf' | kerf -pipe [options]\n"
    "       kerf -enumdir <dir> [-num_subdirs <n>] [options]\n"
    "\n"
    "Options are matched without regard to case and may stand in any order.\n"
    "Every time is UTC. \"man kerf\" describes the layouts and their times.\n";

// Every option, grouped as README groups them. Adding an option is adding
// its line here and its entry in docs/kerf.1; the tests fail until both are
// there.
constexpr std::array kReference = {
    group("Layouts (default: the long-form report; with -pipe and -enumdir, a table):"),
    ReferenceLine{"-csv", "comma-separated table, one line per file"},
    ReferenceLine{"-csvl2t", "log2timeline CSV timeline"},
    ReferenceLine{"-bodyfile", "Sleuth Kit body file, for mactime"},
    ReferenceLine{"-json", "JSON Lines: one object per file, every fact"},
    ReferenceLine{"-timesketch", "JSON Lines: one event per time, for Timesketch"},
    ReferenceLine{"-html", "one HTML page for the run, with a timeline"},
    ReferenceLine{"-longform", "the long-form report, whatever else is given"},
    ReferenceLine{"-verbose, -v", "long-form in -pipe -enumdir; more in -csv/-csvl2t"},
    ReferenceLine{"-csvgen, -xml, -multiline", "the long-form report"},

    group("Input:"),
    ReferenceLine{"-pipe", "read file names from standard input, one a line"},
    ReferenceLine{"-enumdir <dir>", "search <dir> for Prefetch files"},
    ReferenceLine{"-num_subdirs <n>", "levels below -enumdir to search (default 0)"},
    ReferenceLine{"-filter <patterns>", "bulk runs: only names like *.pf, cmd*, *x*, /dir"},
    ReferenceLine{"-filter_sig <hex>[|offset]", "also let through files with these bytes there"},
    ReferenceLine{"-cmd_start_time <date>", "only files modified from yyyy/mm/dd [hh:mm[:ss]]"},
    ReferenceLine{"-cmd_stop_time <date>", "only files modified up to this date and time"},
    ReferenceLine{"-pf_path", "each Prefetch file's own path in the table"},
    ReferenceLine{"-verify", "check the stored hash: the path it proves"},

    group("Output:"),
    ReferenceLine{"-out, -outfile <file>", "write to <file> (created, or emptied)"},
    ReferenceLine{"-append", "add to the -out file, don't empty it"},
    ReferenceLine{"-hostname <name>", "host name column of the tables and timelines"},
    ReferenceLine{"-username <name>", "user column of the tables and timelines"},
    ReferenceLine{"-no_run_header", "no run header before a table or report"},
    ReferenceLine{"-dateformat <pattern>", "date pattern (default yyyy-mm-dd)"},
    ReferenceLine{"-timeformat <pattern>", "time pattern (default hh:mm:ss.xxx)"},
    ReferenceLine{"-pair_datetime", "date and time in one field"},
    ReferenceLine{"-no_whitespace", "no blanks around the separator"},
    ReferenceLine{"-csv_separator <text>", "separator of the tables and -csvl2t (tab: a tab)"},
    ReferenceLine{"-enable_quoted_csv_fields", "quote the fields of the tables"},
    ReferenceLine{"-sqlite, -sqlite_log <db>", "not offered in this build: the run is refused"},

    group("Run:"),
    ReferenceLine{"-quiet", "no progress line, file messages or summary"},
    ReferenceLine{"-threads <n>", "threads decoding a bulk run (0: one per CPU)"},
    ReferenceLine{"-profile", "the run's duration on standard error at the end"},
    ReferenceLine{"-diags <file>", "write diagnostics to <file>"},
    ReferenceLine{"-h, -help, /?", "the short usage, on standard error"},
    ReferenceLine{"--help", "this reference, on standard output"},
    ReferenceLine{"--version", "the version, on standard output"},

    group("Accepted and ignored (together with the value shown):"),
    ReferenceLine{"-alias, -aliaspath <pairs>", "alias|path pairs; an odd count refuses the run"},
    ReferenceLine{"-l2, -l3", "after -diags"},
    ReferenceLine{"-filter_path <text>", "after -filter"},
    ReferenceLine{"-filter_skip <text>", ""},
    ReferenceLine{"-gzip, -zlib", ""},
    ReferenceLine{"-zlibex <n>", ""},
    ReferenceLine{"-signal <text>", ""},
    ReferenceLine{"-split_pathfile, -separate_files", ""},
    ReferenceLine{"-cpu, -cpuinst <text>", ""},
    ReferenceLine{"-fragment_files <text>", ""},
    ReferenceLine{"-outdir <dir>", ""},
    ReferenceLine{"-base10, -base16", ""},
};

}  // namespace

std::string option_reference() {
  std::string text = "kerf ";
  text.append(kVersion).append(kIntroduction);
  for (const ReferenceLine& line : kReference) {
    if (line.words.empty()) {
      text.push_back('\n');
      text.append(line.meaning).push_back('\n');
      continue;
    }
    const std::size_t start = text.size();
    text.append(2, ' ').append(line.words);
    if (!line.meaning.empty()) {
      const std::size_t width = text.size() - start;
      text.append(width + 2 <= kMeaningColumn ? kMeaningColumn - width : 2, ' ').append(line.meaning);
    }
    text.push_back('\n');
  }
  return text;
}

}  // namespace kerf
