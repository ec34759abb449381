// The options are looked up in a fixed order, the order of the table below,
// so their order on the command line does not matter; where two options
// contradict each other, the one looked up later wins. What no option takes
// is an input file name; a word that looks like an option but is none (or
// an option that needs a value but stands last) refuses the run, before any
// file is touched.
#include "driver/options.h"

#include <algorithm>
#include <array>
#include <string>

#include "driver/env_expand.h"
#include "driver/time_bound.h"
#include "driver/usage.h"
#include "lib/text/ascii.h"
#include "lib/text/escape.h"
#include "lib/time/date_time_format.h"

namespace kerf {

namespace {

// Everything the rules work on while the command line is read.
struct ParseState {
  ArgList& args;
  io::MessageSink& messages;
  RunSettings settings;
  Layout layout = Layout::padded_table;  // what the defaults select
};

// The separator rule: which character may not appear inside a field, and
// what replaces it there, for the separator `text`.
void set_separator(ReportSettings& report, std::string_view text) {
  report.separator = std::string(text);
  const std::string lowered = text::lowered(text);
  if (lowered.find('|') != std::string::npos) {
    report.forbidden_char = '|';
    report.forbidden_substitute = ';';
  } else if (lowered.find(',') != std::string::npos) {
    report.forbidden_char = ',';
    report.forbidden_substitute = ' ';
  } else {
    report.forbidden_char = 0;
    report.forbidden_substitute = 0;
    if (lowered == "tab" || lowered == "\\t") report.separator.assign(1, '\t');
  }
}

// A %NAME% reference is expanded only in a name the examiner typed, and
// only when no file of the name as typed exists: a real file called
// "%TEMP%.pf" is read as itself. A name without "%" has nothing to expand,
// so it costs no look at the file system.
std::string expand_typed_name(const std::string& name) {
  return name.find('%') == std::string::npos || io::file_id(name) ? name : expand_env_vars(name);
}

// "/usr/local/bin/kerf.bin" gives "kerf".
std::string program_base_name(const std::string& argument0) {
  const std::size_t slash = argument0.rfind('/');
  std::string name = slash == std::string::npos ? argument0 : argument0.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

// Diagnostics are a help for the developer, not part of the results. The
// file is opened only once the whole command line has been read; -l2 and
// -l3, its levels, are accepted and ignored.
bool set_diagnostics(ParseState& state, std::string_view path) {
  state.settings.diagnostics_path = std::string(path);
  if (!state.args.take_flag("-l2")) state.args.take_flag("-l3");
  return true;
}

// "alias1|true path 1|alias2|true path 2": pairs of an alias and the path it
// stands for. kerf names its inputs itself, so the pairs are only checked.
bool check_path_aliases(ParseState& state, std::string_view list) {
  std::size_t pieces = 0;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t end = list.find('|', start);
    if (end == std::string_view::npos) end = list.size();
    if (!text::trimmed(list.substr(start, end - start)).empty()) ++pieces;
    start = end + 1;
  }
  if (pieces % 2 == 0) return true;
  state.messages.write_message("imbalanced alias to true pathfiles, aborting\n");
  return false;
}

bool refuse_database_output(ParseState& state, std::string_view) {
  state.messages.write_message("This option is not offered in this build\n");
  return false;
}

// The results file is only named here: it is opened (and so created or
// emptied) once the whole command line has been found good.
bool set_results_file(ParseState& state, std::string_view name) {
  std::string& path = state.settings.results_file;
  path = expand_typed_name(std::string(name));
  std::replace(path.begin(), path.end(), '\\', '/');
  return true;
}

// One message: `before`, the value as typed (escaped, as every word kerf
// echoes) and `after`.
void report_value(ParseState& state, std::string_view before, std::string_view value, std::string_view after) {
  std::string message(before);
  text::append_escaped(message, value);
  message += after;
  state.messages.write_message(message);
}

// A separator the examiner types must part the fields. One that is empty,
// as typed or once -no_whitespace or -enable_quoted_csv_fields take its
// blanks away, would run them together; a double quote in it would open a
// quoted field, and a line break end the row, in every CSV reader.
constexpr std::string_view kSeparatorRule =
    ": a separator needs a character other than a blank (-no_whitespace and -enable_quoted_csv_fields drop "
    "blanks) and no quote or line break, aborting\n";

bool set_typed_separator(ParseState& state, std::string_view value) {
  ReportSettings& report = state.settings.report;
  set_separator(report, value);
  std::string left = report.separator;
  if (state.args.has("-no_whitespace")) std::erase(left, ' ');
  if (state.args.has("-enable_quoted_csv_fields") && left.find('\t') == std::string::npos) {
    left = std::string(text::trimmed(left));
  }
  if (!left.empty() && left.find_first_of("\"\r\n") == std::string::npos) return true;
  report_value(state, "invalid -csv_separator value ", value, kSeparatorRule);
  return false;
}

// The value of an option that counts something: a whole number from 0 up,
// in plain decimal digits and nothing else ("0x10" or " 2" are more likely
// a slip than a count). Anything else is named and refuses the run, which
// would otherwise do what the examiner did not ask for.
std::optional<std::uint64_t> count_value(ParseState& state, std::string_view option, std::string_view value) {
  const bool digits = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  const std::optional<std::uint64_t> count = digits ? parse_whole_number(value) : std::nullopt;
  if (!count) {
    std::string before("invalid ");
    before.append(option).append(" value ");
    report_value(state, before, value, ": a whole number from 0 up, aborting\n");
  }
  return count;
}

bool add_filter(ParseState& state, std::string_view value) {
  std::vector<FilterPattern>& patterns = state.settings.input.patterns;
  for (FilterPattern& pattern : parse_filter_patterns(value)) patterns.push_back(std::move(pattern));
  // -filter_path, which may follow a -filter, is accepted and ignored.
  if (!patterns.empty()) state.args.take_value("-filter_path");
  return true;
}

// A mistyped signature would otherwise just vanish from the filter and let
// through files the examiner meant to leave out.
bool add_filter_signature(ParseState& state, std::string_view value) {
  std::optional<FilterPattern> pattern = parse_filter_signature(value);
  if (!pattern) {
    report_value(state, "invalid filter signature ", value, ", aborting\n");
    return false;
  }
  state.settings.input.patterns.push_back(std::move(*pattern));
  return true;
}

// One bound of the time window. A value that is not a date at all refuses
// the run; a date that is no valid time (or a stop before the start) is
// reported and leaves the bound unset.
bool set_time_bound(ParseState& state, std::string_view value, TimeBoundEnd end) {
  TimeWindow& window = state.settings.input.window;
  const std::string_view which = end == TimeBoundEnd::start ? "start" : "stop";
  const std::string refused = "invalid " + std::string(which) + " time, ignoring\n";
  time::Instant bound;
  switch (parse_time_bound(value, end, bound)) {
    case TimeBoundStatus::malformed:
      report_value(state, "invalid " + std::string(which) + " time ", value,
                   ": not a date such as 2024/03/17 or 2024-03-17 10:00, aborting\n");
      return false;
    case TimeBoundStatus::invalid: state.messages.write_message(refused); return true;
    case TimeBoundStatus::ok: break;
  }
  if (end == TimeBoundEnd::stop && window.start && bound.filetime() < window.start->filetime()) {
    state.messages.write_message(refused);
    return true;
  }
  (end == TimeBoundEnd::start ? window.start : window.stop) = bound;
  return true;
}

// An accepted pattern is kept in lower case; a refused one leaves the
// default in force.
void set_pattern(ParseState& state, std::string_view value, bool accepted, std::string& pattern) {
  if (accepted) {
    pattern = text::lowered(value);
  } else {
    report_value(state, "invalid ", value, ", using default format\n");
  }
}

// -threads N: N threads decode the files of a bulk run (0: one per CPU the
// process may use). More than kMaxThreads would only cost memory.
bool set_threads(ParseState& state, std::string_view value) {
  constexpr std::uint64_t kMaxThreads = 256;
  const std::optional<std::uint64_t> threads = count_value(state, "-threads", value);
  if (!threads) return false;
  state.settings.threads = static_cast<std::uint32_t>(std::min(*threads, kMaxThreads));
  return true;
}

bool set_walk_directory(ParseState& state, std::string_view value) {
  if (value.empty()) {
    state.messages.write_message("no directory named for -enumdir, aborting\n");
    return false;
  }
  state.settings.input.walk_directory = expand_typed_name(std::string(value));
  state.settings.input.walk = true;
  return true;
}

bool set_walk_depth(ParseState& state, std::string_view value) {
  const std::optional<std::uint64_t> depth = count_value(state, "-num_subdirs", value);
  if (!depth) return false;
  state.settings.input.walk_depth = *depth > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(*depth);
  return true;
}

enum class Takes {
  nothing,  // a flag
  value,    // the word after it, once
  values,   // the word after every occurrence, in turn
};

struct OptionRule {
  std::string_view word;
  Takes takes;
  // Looked up only when the rule before it took nothing ("-out" or else
  // "-outfile").
  bool or_else;
  // What the option does; null for an option that is accepted and ignored.
  // False refuses the run.
  bool (*apply)(ParseState&, std::string_view value);
};

template <typename Apply>
constexpr auto always(Apply) {
  return +[](ParseState& state, std::string_view value) {
    Apply{}(state, value);
    return true;
  };
}

// Every option, in the order it is looked up.
constexpr std::array kOptionRules = {
    OptionRule{"-pair_datetime", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.pair_datetime = true; })},
    OptionRule{"-diags", Takes::value, false, set_diagnostics},
    // Layouts: when several are given, the one later in this list wins.
    OptionRule{"-csv", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 s.layout = Layout::csv_table;
                 set_separator(s.settings.report, ",");
                 s.settings.report.no_whitespace = !s.settings.report.pair_datetime;
               })},
    OptionRule{"-csvgen", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 s.layout = Layout::long_form;
                 set_separator(s.settings.report, ",");
                 s.settings.report.no_whitespace = true;
               })},
    OptionRule{"-csvl2t", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 s.layout = Layout::log2timeline;
                 set_separator(s.settings.report, ",");
               })},
    OptionRule{"-bodyfile", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 s.layout = Layout::body_file;
                 set_separator(s.settings.report, "|");
               })},
    OptionRule{"-xml", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.layout = Layout::long_form; })},
    OptionRule{"-multiline", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.layout = Layout::long_form; })},
    OptionRule{"-json", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.layout = Layout::json_record; })},
    OptionRule{"-timesketch", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.layout = Layout::timesketch; })},
    OptionRule{"-alias", Takes::value, false, check_path_aliases},
    OptionRule{"-aliaspath", Takes::value, false, check_path_aliases},
    OptionRule{"-gzip", Takes::nothing, false, nullptr},
    OptionRule{"-zlib", Takes::nothing, false, nullptr},
    OptionRule{"-threads", Takes::value, false, set_threads},
    OptionRule{"-zlibex", Takes::value, false, nullptr},
    OptionRule{"-sqlite_log", Takes::value, false, refuse_database_output},
    OptionRule{"-sqlite", Takes::value, true, refuse_database_output},
    OptionRule{"-signal", Takes::value, false, nullptr},
    OptionRule{"-hostname", Takes::value, false,
               always([](ParseState& s, std::string_view v) { s.settings.report.hostname = v; })},
    OptionRule{"-split_pathfile", Takes::nothing, false, nullptr},
    OptionRule{"-username", Takes::value, false,
               always([](ParseState& s, std::string_view v) { s.settings.report.username = v; })},
    OptionRule{"-cpuinst", Takes::value, false, nullptr},
    OptionRule{"-cpu", Takes::value, false, nullptr},
    OptionRule{"-fragment_files", Takes::value, false, nullptr},
    OptionRule{"-separate_files", Takes::nothing, false, nullptr},
    OptionRule{"-out", Takes::value, false, set_results_file},
    OptionRule{"-outfile", Takes::value, true, set_results_file},
    OptionRule{"-append", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.append = true; })},
    OptionRule{"-outdir", Takes::value, false, nullptr},
    OptionRule{"-enumdir", Takes::value, false, set_walk_directory},
    OptionRule{"-num_subdirs", Takes::value, false, set_walk_depth},
    OptionRule{"-profile", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.profile = true; })},
    OptionRule{"-pipe", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.input.pipe = true; })},
    OptionRule{"-filter_skip", Takes::values, false, nullptr},
    OptionRule{"-filter", Takes::values, false, add_filter},
    OptionRule{"-filter_sig", Takes::values, false, add_filter_signature},
    OptionRule{"-cmd_start_time", Takes::value, false,
               [](ParseState& s, std::string_view v) { return set_time_bound(s, v, TimeBoundEnd::start); }},
    OptionRule{"-cmd_stop_time", Takes::value, false,
               [](ParseState& s, std::string_view v) { return set_time_bound(s, v, TimeBoundEnd::stop); }},
    OptionRule{"-base10", Takes::nothing, false, nullptr},
    OptionRule{"-base16", Takes::nothing, false, nullptr},
    OptionRule{"-csv_separator", Takes::value, false, set_typed_separator},
    // Quoting protects the fields, so the padding around the separator goes;
    // a tab separator is kept whole.
    OptionRule{"-enable_quoted_csv_fields", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 ReportSettings& report = s.settings.report;
                 report.quoted_fields = true;
                 if (report.separator.find('\t') == std::string::npos) {
                   report.separator = std::string(text::trimmed(report.separator));
                 }
                 report.pad_fields = false;
                 report.forbidden_char = 0;
               })},
    OptionRule{"-no_whitespace", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 ReportSettings& report = s.settings.report;
                 report.no_whitespace = true;
                 report.pad_fields = false;
                 std::erase(report.separator, ' ');
               })},
    OptionRule{"-dateformat", Takes::value, false, always([](ParseState& s, std::string_view v) {
                 set_pattern(s, v, is_accepted_date_pattern(v), s.settings.report.date_pattern);
               })},
    OptionRule{"-timeformat", Takes::value, false, always([](ParseState& s, std::string_view v) {
                 set_pattern(s, v, is_accepted_time_pattern(v), s.settings.report.time_pattern);
               })},
    OptionRule{"-verbose", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.verbose = true; })},
    OptionRule{"-v", Takes::nothing, true,
               always([](ParseState& s, std::string_view) { s.settings.report.verbose = true; })},
    OptionRule{"-quiet", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.messages_on = false; })},
    OptionRule{"-no_run_header", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.no_run_header = true; })},
    OptionRule{"-pf_path", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.show_prefetch_path = true; })},
    OptionRule{"-verify", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.verify = true; })},
    // After -append, which it refuses: a second page appended to a results
    // file would follow the first one's end, where no browser reads it.
    OptionRule{"-html", Takes::nothing, false,
               [](ParseState& s, std::string_view) {
                 if (s.settings.append) {
                   s.messages.write_message("-append can't add an HTML page to a results file, aborting\n");
                   return false;
                 }
                 s.layout = Layout::html_page;
                 return true;
               }},
    // Handled last, so it overrides every layout option.
    OptionRule{"-longform", Takes::nothing, false, always([](ParseState& s, std::string_view) {
                 s.layout = Layout::long_form;
                 s.settings.report.verbose = true;
               })},
};

// Runs one rule; `took` tells whether the option was there. False refuses the run.
bool apply_rule(const OptionRule& rule, ParseState& state, bool& took) {
  const auto apply = [&](std::string_view value) { return rule.apply == nullptr || rule.apply(state, value); };
  took = false;
  switch (rule.takes) {
    case Takes::nothing:
      took = state.args.take_flag(rule.word);
      return !took || apply({});
    case Takes::value:
      if (const std::optional<std::string> value = state.args.take_value(rule.word)) {
        took = true;
        return apply(*value);
      }
      return true;
    case Takes::values:
      while (const std::optional<std::string> value = state.args.take_value(rule.word)) {
        took = true;
        if (!apply(*value)) return false;
      }
      return true;
  }
  return true;
}

// What no option took: input file names (several make a bulk run over them,
// in the order given, as if they had been piped). A word that looks like an
// option is a mistake, never a file name; so is a name beside -pipe or
// -enumdir, which take their names from elsewhere, and a run with no input
// at all.
bool take_input_names(ParseState& state) {
  InputSettings& input = state.settings.input;
  const std::vector<std::string>& words = state.args.words();
  const auto refuse = [&](std::string_view message, std::string_view word) {
    report_value(state, message, word, "\n");
    return false;
  };
  const std::vector<std::string_view> options = recognised_options();
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() > 1 && word.front() == '-') {
      const bool known = std::any_of(options.begin(), options.end(),
                                     [&](std::string_view name) { return text::equals_ignoring_case(word, name); });
      return refuse(known ? "option needs a value: " : "unknown option ", word);
    }
    if (input.pipe || input.walk) {
      return refuse(input.pipe ? "-pipe reads the names from standard input; unexpected word "
                               : "-enumdir walks a directory; unexpected word ",
                    word);
    }
    input.names.push_back(expand_typed_name(word));
  }
  if (!input.pipe && !input.walk && input.names.empty()) {
    state.messages.write_message("no input file named\n");
    return false;
  }
  return true;
}

// Put right after the program name rather than at the end, where no option
// can take it for its value (a trailing "-hostname" would turn it into the
// host name, and the report into the table).
bool wants_long_form_default(const ArgList& args) {
  const auto present = [&args](std::string_view name) { return args.has(name, 1); };
  if (present("-csv") || present("-csvl2t") || present("-bodyfile") || present("-json") || present("-timesketch") ||
      present("-html")) {
    return false;
  }
  if (present("-pipe") && present("-enumdir") && !present("-verbose") && !present("-v")) return false;
  return !present("-longform");
}

}  // namespace

std::optional<RunSettings> parse_command_line(ArgList& args, io::MessageSink& messages) {
  if (args.size() == 0) return std::nullopt;
  ParseState state{args, messages, {}};
  RunSettings& settings = state.settings;
  // The command line as typed is a fact of the run: the diagnostics file
  // shows it without the "-longform" that may be added below.
  settings.command_line = args.joined();
  settings.program_name = program_base_name(args[0]);
  if (wants_long_form_default(args)) args.insert(1, "-longform");

  bool previous_took = false;
  for (const OptionRule& rule : kOptionRules) {
    if (rule.or_else && previous_took) {
      previous_took = false;
      continue;
    }
    if (!apply_rule(rule, state, previous_took)) return std::nullopt;
  }

  if (!take_input_names(state)) {
    messages.write_message(usage_text(settings.program_name));
    return std::nullopt;
  }
  settings.report.layout = state.layout;
  settings.report.bulk_run = settings.input.bulk();
  settings.report.program_name = settings.program_name;
  return std::move(settings);
}

bool is_accepted_date_pattern(std::string_view value) {
  return (value.size() == 8 || value.size() == 10) && time::is_usable_date_pattern(text::lowered(value));
}

bool is_accepted_time_pattern(std::string_view value) {
  const bool length_ok = value.size() == 8 || (value.size() >= 12 && value.size() <= 18);
  return length_ok && time::is_usable_time_pattern(text::lowered(value));
}

std::vector<std::string_view> recognised_options() {
  std::vector<std::string_view> words;
  for (const OptionRule& rule : kOptionRules) words.push_back(rule.word);
  words.insert(words.end(), {"-l2", "-l3", "-filter_path"});
  return words;
}

}  // namespace kerf
