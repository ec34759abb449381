// The second step of reading the command line: from the options as typed
// to the settings of the run. Values are checked here, in a fixed order, so
// the first refused value (in that order, not the command line's) is the one
// named. What no option took is an input file name; a word that looks like
// an option but is none (or an option that needs a value but stands last)
// refuses the run, before any file is touched.
#include "driver/cli/options.h"

#include <algorithm>
#include <string>

#include "driver/cli/env_expand.h"
#include "driver/cli/time_bound.h"
#include "driver/cli/usage.h"
#include "lib/io/file.h"
#include "lib/text/ascii.h"
#include "lib/text/escape.h"
#include "lib/time/date_time_format.h"

namespace kerf {

namespace {

// What the settings are decided from, and into.
struct ParseState {
  const ParsedCommandLine& line;
  io::MessageSink& messages;
  RunSettings settings;
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
  state.messages.write_message(text::message_naming(before, value, after));
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
  if (state.line.no_whitespace) std::erase(left, ' ');
  if (state.line.quoted_fields && left.find('\t') == std::string::npos) {
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

// -vss_stores: store numbers and ranges ("1,3-5"), each from 1 up, as
// vshadowinfo numbers the stores.
bool set_wanted_stores(ParseState& state, std::string_view value) {
  constexpr std::uint64_t kMostStores = 512;  // a volume holds at most 512 shadow copies
  std::vector<bool>& wanted = state.settings.input.shadows.wanted;
  const auto refuse = [&] {
    report_value(state, "invalid -vss_stores value ", value, ": store numbers from 1 up, such as 1,3-5, aborting\n");
    return false;
  };
  for (std::string_view rest = value; !value.empty();) {
    const std::size_t comma = rest.find(',');
    const std::string_view piece = rest.substr(0, comma);
    const std::size_t dash = piece.find('-');
    const auto number = [](std::string_view digits) -> std::optional<std::uint64_t> {
      if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
      }
      return parse_whole_number(digits);
    };
    const std::optional<std::uint64_t> first = number(piece.substr(0, dash));
    const std::optional<std::uint64_t> last = dash == std::string_view::npos ? first : number(piece.substr(dash + 1));
    if (!first || !last || *first == 0 || *last < *first || *last > kMostStores) return refuse();
    if (wanted.size() <= *last) wanted.resize(*last + 1);
    for (std::uint64_t store = *first; store <= *last; ++store) wanted[store] = true;
    if (comma == std::string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
  return refuse();
}

// Each -image names one disk image; -enumdir then names a folder inside
// every volume, which may be typed with either slash.
bool set_images(ParseState& state, const std::vector<std::string>& images) {
  for (const std::string& image : images) {
    if (image.empty()) {
      state.messages.write_message("no image named for -image, aborting\n");
      return false;
    }
    state.settings.input.images.push_back(expand_typed_name(image));
  }
  InputSettings& input = state.settings.input;
  if ((state.line.vss || state.line.vss_stores) && input.images.empty()) {
    state.messages.write_message("-vss reads the shadow copies of the volumes of -image; no image named, aborting\n");
    return false;
  }
  input.shadows.read = state.line.vss || state.line.vss_stores;
  if (state.line.vss_stores && !set_wanted_stores(state, *state.line.vss_stores)) return false;
  state.settings.report.shadow_copies = input.shadows.read;
  if (!input.images.empty() && input.walk) {
    std::replace(input.walk_directory.begin(), input.walk_directory.end(), '/', '\\');
    if (!input.walk_directory.starts_with('\\')) input.walk_directory.insert(0, 1, '\\');
  }
  return true;
}

bool set_walk_depth(ParseState& state, std::string_view value) {
  const std::optional<std::uint64_t> depth = count_value(state, "-num_subdirs", value);
  if (!depth) return false;
  state.settings.input.walk_depth = *depth > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(*depth);
  return true;
}

// What no option took: input file names (several make a bulk run over them,
// in the order given, as if they had been piped). A word that looks like an
// option is a mistake, never a file name; so is a name beside -pipe or
// -enumdir, which take their names from elsewhere, and a run with no input
// at all.
bool take_input_names(ParseState& state) {
  InputSettings& input = state.settings.input;
  const auto refuse = [&](std::string_view message, std::string_view word) {
    report_value(state, message, word, "\n");
    return false;
  };
  const std::vector<std::string_view> options = recognised_options();
  for (const std::string& word : state.line.names) {
    if (word.size() > 1 && word.front() == '-') {
      const auto same = [&](std::string_view name) { return text::equals_ignoring_case(word, name); };
      if (std::none_of(options.begin(), options.end(), same)) return refuse("unknown option ", word);
      // An option that takes one value, given twice, leaves its second
      // occurrence untaken: it has its value, but only one is kept.
      const std::vector<std::string>& typed = state.line.arguments.words();
      const bool twice = std::count_if(typed.begin() + 1, typed.end(), same) > 1;
      return refuse(twice ? "option given more than once: " : "option needs a value: ", word);
    }
    if (input.pipe || (input.walk && input.images.empty())) {
      return refuse(input.pipe ? "-pipe reads the names from standard input; unexpected word "
                               : "-enumdir walks a directory; unexpected word ",
                    word);
    }
    input.names.push_back(expand_typed_name(word));
  }
  if (!input.pipe && !input.walk && input.names.empty() && input.images.empty()) {
    state.messages.write_message("no input file named\n");
    return false;
  }
  return true;
}

// -carve: the typed names are streams to scan, not Prefetch files; with
// -image, each volume's free clusters are scanned too. Names piped in or
// found by a walk of the host's files are Prefetch files, never carved.
bool set_carving(ParseState& state) {
  InputSettings& input = state.settings.input;
  if (!state.line.carve) return true;
  if (input.pipe || (input.walk && input.images.empty())) {
    state.messages.write_message(std::string(input.pipe ? "-pipe" : "-enumdir") +
                                 " can't be given with -carve, which scans the files named and the images' free "
                                 "space, aborting\n");
    return false;
  }
  input.carve = true;
  input.carve_files.swap(input.names);
  return true;
}

// The layout a layout option names; where several are given, the first
// here wins.
std::optional<Layout> named_layout(const ParsedCommandLine& line) {
  if (line.html) return Layout::html_page;
  if (line.timesketch) return Layout::timesketch;
  if (line.json) return Layout::json_record;
  if (line.xml || line.multiline) return Layout::long_form;
  if (line.bodyfile) return Layout::body_file;
  if (line.csvl2t) return Layout::log2timeline;
  if (line.csvgen) return Layout::long_form;
  if (line.csv) return Layout::csv_table;
  return std::nullopt;
}

// The long-form report, with every detail, is the default unless another
// layout is named, or piped names and a directory are both given without
// -verbose/-v (the " | " table then suits the long lists such runs
// produce). A word typed counts even where another option took it for its
// value ("-diags -csv" gives the table). -longform forces it over every
// layout option.
bool forces_long_form(const ParsedCommandLine& line) {
  if (line.longform) return true;
  const std::optional<Layout> named = named_layout(line);
  if (named && *named != Layout::long_form) return false;
  for (const std::string_view word : {"-csv", "-csvl2t", "-bodyfile", "-json", "-timesketch", "-html", "-longform"}) {
    if (line.was_typed(word)) return false;
  }
  return !(line.was_typed("-pipe") && line.was_typed("-enumdir") && !line.was_typed("-verbose") &&
           !line.was_typed("-v"));
}

// The separator of the delimited layouts, with the character a field may
// not hold, and the blanks around it. False refuses the run.
bool decide_separator(ParseState& state) {
  const ParsedCommandLine& line = state.line;
  ReportSettings& report = state.settings.report;
  if (line.bodyfile) {
    set_separator(report, "|");
  } else if (line.csvl2t || line.csvgen || line.csv) {
    set_separator(report, ",");
  }
  if (line.separator && !set_typed_separator(state, *line.separator)) return false;
  // Quoting protects the fields, so the padding around the separator goes;
  // a tab separator is kept whole.
  if (line.quoted_fields) {
    report.quoted_fields = true;
    if (report.separator.find('\t') == std::string::npos) report.separator = std::string(text::trimmed(report.separator));
    report.pad_fields = false;
    report.forbidden_char = 0;
  }
  if (line.no_whitespace) {
    report.pad_fields = false;
    std::erase(report.separator, ' ');
  }
  // -csv keeps the blanks only beside a paired date and time.
  report.no_whitespace = line.no_whitespace || line.csvgen || (line.csv && !line.pair_datetime);
  return true;
}

// The run header's date follows the first -dateformat typed when that is
// accepted.
RunHeaderSettings decide_run_header(const ParsedCommandLine& line) {
  RunHeaderSettings header;
  header.command_line = line.arguments.joined('\'');
  header.piped = line.was_typed("-pipe");
  if (line.dateformat_typed && is_accepted_date_pattern(*line.dateformat_typed)) {
    header.date_pattern = text::lowered(*line.dateformat_typed);
  }
  return header;
}

}  // namespace

std::optional<RunSettings> decide_run_settings(const ParsedCommandLine& line, io::MessageSink& messages) {
  if (line.arguments.size() == 0) return std::nullopt;
  ParseState state{line, messages, {}};
  RunSettings& settings = state.settings;
  ReportSettings& report = settings.report;
  InputSettings& input = settings.input;
  settings.command_line = line.arguments.joined();
  settings.program_name = program_base_name(line.arguments[0]);
  settings.header = decide_run_header(line);

  // The values are checked in this order; the first refused ends the run.
  for (const std::string& aliases : line.aliases) {
    if (!check_path_aliases(state, aliases)) return std::nullopt;
  }
  if (line.threads && !set_threads(state, *line.threads)) return std::nullopt;
  if (line.database) {
    messages.write_message("This option is not offered in this build\n");
    return std::nullopt;
  }
  if (line.walk_directory && !set_walk_directory(state, *line.walk_directory)) return std::nullopt;
  if (line.walk_depth && !set_walk_depth(state, *line.walk_depth)) return std::nullopt;
  if (!set_images(state, line.images)) return std::nullopt;
  for (const std::string& filter : line.filters) {
    for (FilterPattern& pattern : parse_filter_patterns(filter)) input.patterns.push_back(std::move(pattern));
  }
  for (const std::string& signature : line.signatures) {
    if (!add_filter_signature(state, signature)) return std::nullopt;
  }
  if (line.start_time && !set_time_bound(state, *line.start_time, TimeBoundEnd::start)) return std::nullopt;
  if (line.stop_time && !set_time_bound(state, *line.stop_time, TimeBoundEnd::stop)) return std::nullopt;
  if (!decide_separator(state)) return std::nullopt;
  if (line.date_pattern) {
    set_pattern(state, *line.date_pattern, is_accepted_date_pattern(*line.date_pattern), report.date_pattern);
  }
  if (line.time_pattern) {
    set_pattern(state, *line.time_pattern, is_accepted_time_pattern(*line.time_pattern), report.time_pattern);
  }
  // A second page appended to a results file would follow the first one's
  // end, where no browser reads it.
  if (line.html && line.append) {
    messages.write_message("-append can't add an HTML page to a results file, aborting\n");
    return std::nullopt;
  }

  const bool long_form = forces_long_form(line);
  report.layout = long_form ? Layout::long_form : named_layout(line).value_or(Layout::padded_table);
  report.verbose = line.verbose || long_form;
  report.verbose_typed = line.verbose;
  report.pair_datetime = line.pair_datetime;
  report.hostname = line.hostname;
  report.username = line.username;
  report.show_prefetch_path = line.pf_path;
  report.verify = line.verify;
  report.history = line.history;
  // A body file and a log2timeline timeline describe one file per line;
  // a history belongs to no one file.
  if (line.history && (report.layout == Layout::body_file || report.layout == Layout::log2timeline)) {
    messages.write_message(std::string("-history can't be written as ") +
                           (report.layout == Layout::body_file ? "a body file" : "a log2timeline timeline") +
                           " (use -timesketch, -json, -csv, -html or the long form), aborting\n");
    return std::nullopt;
  }
  input.pipe = line.pipe;
  if (line.results_file) set_results_file(state, *line.results_file);
  settings.diagnostics_path = line.diagnostics.value_or("");
  settings.append = line.append;
  settings.profile = line.profile;
  settings.messages_on = !line.quiet;
  settings.no_run_header = line.no_run_header;

  if (!take_input_names(state)) {
    messages.write_message(usage_text(settings.program_name));
    return std::nullopt;
  }
  if (!set_carving(state)) return std::nullopt;
  report.bulk_run = input.bulk();
  report.program_name = settings.program_name;
  // The HTML page tells where the failed files it leaves out were named.
  report.failures_named = settings.messages_on;
  return std::move(settings);
}

std::optional<RunSettings> parse_command_line(const ArgList& args, io::MessageSink& messages) {
  return decide_run_settings(read_command_line(args), messages);
}

bool is_accepted_date_pattern(std::string_view value) {
  return (value.size() == 8 || value.size() == 10) && time::is_usable_date_pattern(text::lowered(value));
}

bool is_accepted_time_pattern(std::string_view value) {
  const bool length_ok = value.size() == 8 || (value.size() >= 12 && value.size() <= 18);
  return length_ok && time::is_usable_time_pattern(text::lowered(value));
}

}  // namespace kerf
