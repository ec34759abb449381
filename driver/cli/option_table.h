// Every option kerf knows, described once: its word, the name of its value,
// its group and line in --help, and what reading it records. Reading the
// command line only records what was typed (`ParsedCommandLine`); what the
// run then does is decided from that record in one place
// (`decide_run_settings`, driver/cli/options.h).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/cli/arg_list.h"

namespace kerf {

// The command line as read: each option's value as typed, not yet checked.
struct ParsedCommandLine {
  ArgList arguments;               // as typed, the program first
  std::vector<std::string> names;  // the words no option took, in order

  // How the words stood as typed, before any option took its value: an
  // option word also counts here where another option took it for its
  // value. The long-form default and the run header have always gone by
  // these, so a run's results stay what they were.
  std::vector<std::string_view> typed;       // option words typed after the program
  std::optional<std::string> dateformat_typed;  // the word after the first "-dateformat"

  // Layout options.
  bool csv = false, csvgen = false, csvl2t = false, bodyfile = false, xml = false, multiline = false;
  bool json = false, timesketch = false, html = false, longform = false;
  bool verbose = false;  // -verbose or -v

  bool pair_datetime = false, no_whitespace = false, quoted_fields = false;
  bool append = false, profile = false, pipe = false, quiet = false, no_run_header = false;
  bool pf_path = false, verify = false, history = false;

  std::vector<std::string> aliases;  // -alias, then -aliaspath
  std::optional<std::string> database;  // -sqlite_log or -sqlite
  std::optional<std::string> diagnostics, threads, results_file, walk_directory, walk_depth;
  std::optional<std::string> start_time, stop_time, separator, date_pattern, time_pattern;
  std::string hostname, username;
  std::vector<std::string> filters, signatures;
  std::vector<std::string> images;  // -image, each time it is given
  bool vss = false;
  bool carve = false;
  std::optional<std::string> vss_stores;

  bool was_typed(std::string_view word) const;
};

// The groups of --help, in its order.
enum class OptionGroup { layouts, input, output, run, ignored };

// What a help word asks for. Where several are given, the later one here
// wins: --help over the usage words, and they over --version.
enum class HelpAnswer { none, version, usage, reference };

// How an option is taken out of the argument list.
enum class Taking {
  once,    // its first occurrence (with the word after it, for a value)
  each,    // every occurrence, in turn
  follow,  // right after each value of `other`, once, as its companion
  help,    // a help word: answered before the command line is read
};

struct OptionSpec {
  std::string_view word;
  std::string_view value;  // its name in --help ("<file>"); empty for an option without one
  OptionGroup group;
  // Its line in --help; kSharesLine puts the word on the line of the option
  // above it ("-out, -outfile <file>").
  std::string_view help;
  // Records the value (empty for an option without one); null for an option
  // that is accepted and ignored.
  void (*record)(ParsedCommandLine&, std::string value) = nullptr;
  Taking taking = Taking::once;
  std::string_view other = {};   // Taking::follow: the option it follows
  std::string_view unless = {};  // looked for only when this option took nothing
  HelpAnswer answer = HelpAnswer::none;
};

inline constexpr std::string_view kSharesLine = "\n";

// Every option, grouped and ordered as --help shows them.
std::span<const OptionSpec> option_table();

// What the help words on the command line ask for, wherever they stand.
HelpAnswer help_answer(const ArgList& args);

// Takes the options out of `args` and records them; never refuses.
ParsedCommandLine read_command_line(ArgList args);

// Every option word the reading step takes (help words aside).
std::vector<std::string_view> recognised_options();

}  // namespace kerf
