// The options are looked up in a fixed order, the order of the table below,
// so their order on the command line does not matter; where two options
// contradict each other, the one looked up later wins. An option that needs
// a value but stands last is not taken: it stays behind as a word too many.
#include "driver/options.h"

#include <algorithm>
#include <array>
#include <string>

#include "driver/env_expand.h"
#include "driver/time_bound.h"
#include "lib/text/ascii.h"
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

// Counts are 32-bit settings; a larger number means "as many as possible"
// rather than whatever its low bits happen to be.
std::uint32_t parse_count(std::string_view text) {
  const std::uint64_t value = parse_number(text);
  return value > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(value);
}

// "/usr/local/bin/kerf.bin" gives "kerf".
std::string program_base_name(const std::string& argument0) {
  const std::size_t slash = argument0.rfind('/');
  std::string name = slash == std::string::npos ? argument0 : argument0.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

void write_diagnostics_line(io::File& file, std::string_view text) {
  std::string line = "->";
  line += text;
  line += '\n';
  file.write_all(line);
}

// Diagnostics are a help for the developer, not part of the results: a name
// that can't be opened is dropped without a word, and its level options
// are then not looked for.
bool open_diagnostics(ParseState& state, std::string_view path) {
  auto file = std::make_shared<io::File>();
  if (!file->open_for_write(path, io::File::WriteMode::truncate)) return true;
  write_diagnostics_line(*file, state.settings.command_line);
  state.settings.diagnostics = std::move(file);
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

// A results file that can't be written is refused before any work is done.
// The probe opens without truncating, so naming an existing file never costs
// its content, even when the run stops before its results are written.
bool set_results_file(ParseState& state, std::string_view name) {
  std::string& path = state.settings.results_file;
  path = expand_env_vars(std::string(name));
  std::replace(path.begin(), path.end(), '\\', '/');
  io::File probe;
  if (probe.open_for_write(path, io::File::WriteMode::append)) return true;
  state.messages.write_message("prob opening file " + path + " for output, aborting\n");
  return false;
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
    state.messages.write_message("invalid filter signature " + std::string(value) + ", aborting\n");
    return false;
  }
  state.settings.input.patterns.push_back(std::move(*pattern));
  return true;
}

// One bound of the time window. False only for a value that is not a date
// at all; a date that is no valid time (or a stop before the start) is
// reported and leaves the bound unset.
bool set_time_bound(ParseState& state, std::string_view value, TimeBoundEnd end) {
  TimeWindow& window = state.settings.input.window;
  const std::string_view refused =
      end == TimeBoundEnd::start ? "invalid start time, ignoring\n" : "invalid stop time, ignoring\n";
  time::Instant bound;
  switch (parse_time_bound(value, end, bound)) {
    case TimeBoundStatus::malformed: return false;
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

// -dateformat: 8 or 10 characters; -timeformat: 8, or 12 to 18, with ":".
// An accepted pattern is kept in lower case; a refused one leaves the
// default in force.
void set_pattern(ParseState& state, std::string_view value, bool accepted, std::string& pattern) {
  if (accepted) {
    pattern = text::lowered(value);
  } else {
    state.messages.write_message("invalid " + std::string(value) + ", using default format\n");
  }
}

enum class Takes {
  nothing,  // a flag
  value,    // the word after it, once
  values,   // the word after every occurrence, in turn
  look,     // its presence is noted; the word stays on the command line
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
    OptionRule{"-diags", Takes::value, false, open_diagnostics},
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
    OptionRule{"-alias", Takes::value, false, check_path_aliases},
    OptionRule{"-aliaspath", Takes::value, false, check_path_aliases},
    OptionRule{"-gzip", Takes::nothing, false, nullptr},
    OptionRule{"-zlib", Takes::nothing, false, nullptr},
    OptionRule{"-threads", Takes::value, false,
               always([](ParseState& s, std::string_view v) { s.settings.threads = parse_count(v); })},
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
    // Left on the command line: in single-file mode it is one word too many.
    OptionRule{"-append", Takes::look, false,
               always([](ParseState& s, std::string_view) { s.settings.append = true; })},
    OptionRule{"-outdir", Takes::value, false, nullptr},
    OptionRule{"-enumdir", Takes::value, false, always([](ParseState& s, std::string_view v) {
                 s.settings.input.walk_directory = expand_env_vars(std::string(v));
                 s.settings.input.walk = true;
               })},
    OptionRule{"-num_subdirs", Takes::value, false,
               always([](ParseState& s, std::string_view v) { s.settings.input.walk_depth = parse_count(v); })},
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
    OptionRule{"-csv_separator", Takes::value, false,
               always([](ParseState& s, std::string_view v) { set_separator(s.settings.report, v); })},
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
                 set_pattern(s, v, v.size() == 8 || v.size() == 10, s.settings.report.date_pattern);
               })},
    OptionRule{"-timeformat", Takes::value, false, always([](ParseState& s, std::string_view v) {
                 const bool length_ok = v.size() == 8 || (v.size() >= 12 && v.size() <= 18);
                 set_pattern(s, v, length_ok && v.find(':') != std::string_view::npos,
                             s.settings.report.time_pattern);
               })},
    OptionRule{"-verbose", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.verbose = true; })},
    OptionRule{"-v", Takes::nothing, true,
               always([](ParseState& s, std::string_view) { s.settings.report.verbose = true; })},
    OptionRule{"-quiet", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.messages_on = false; })},
    OptionRule{"-pf_path", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.show_prefetch_path = true; })},
    OptionRule{"-verify", Takes::nothing, false,
               always([](ParseState& s, std::string_view) { s.settings.report.verify = true; })},
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
    case Takes::look:
      took = state.args.has(rule.word, 1);
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

// Put right after the program name rather than at the end, where no option
// can take it for its value (a trailing "-hostname" would turn it into the
// host name, and the report into the table).
bool wants_long_form_default(const ArgList& args) {
  const auto present = [&args](std::string_view name) { return args.has(name, 1); };
  if (present("-csv") || present("-csvl2t") || present("-bodyfile")) return false;
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

  settings.report.layout = state.layout;
  settings.report.bulk_run = settings.input.bulk();
  settings.report.program_name = settings.program_name;
  return std::move(settings);
}

std::vector<std::string_view> recognised_options() {
  std::vector<std::string_view> words;
  for (const OptionRule& rule : kOptionRules) words.push_back(rule.word);
  words.insert(words.end(), {"-l2", "-l3", "-filter_path"});
  return words;
}

}  // namespace kerf
