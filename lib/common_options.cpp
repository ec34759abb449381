// The option parser shared by the family of examiner tools: every option it
// knows becomes a setting of cmd_params and is removed from the argument
// list, together with its value. The options are looked up in a fixed order,
// so their order on the command line does not matter; where two options
// contradict each other, the one looked up later wins.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lib/cmd_params.h"
#include "lib/date_time_pattern_option.h"
#include "lib/path_ops.h"
#include "lib/string_ops.h"
#include "lib/text_encoding.h"
#include "lib/time_window.h"

namespace qv {

namespace {

// Paths typed on the command line may name a shadow copy as %vss%, like the
// input paths of the bulk modes.
constexpr bool kExpandShadowCopyName = true;

std::string expand_path(const std::string& text) {
  return expand_env_vars(text, kExpandShadowCopyName);
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

void open_diagnostics(cmd_params& params, arg_list& args) {
  std::string path;
  if (!take_option_value("-diags", path, args)) return;
  auto file = std::make_shared<uni::fileio>();
  // Diagnostics are a help for the developer, not part of the results: a
  // name that can't be opened is dropped without a word.
  if (!file->open_for_write(path, true)) return;
  params.m_diags_file = std::move(file);
  params.write_diags_line(params.m_cmdline);
  if (find_flag("-l2", args)) {
    params.m_diags_level = 2;
  } else if (find_flag("-l3", args)) {
    params.m_diags_level = 3;
  }
}

// Every layout flag but -csvgen's, which no other layout option clears.
void clear_layouts(cmd_params& params) {
  params.m_out_xml = false;
  params.m_out_csv = false;
  params.m_out_csvl2t = false;
  params.m_out_bodyfile = false;
  params.m_out_multiline = false;
}

void select_layout(cmd_params& params, arg_list& args) {
  if (find_flag("-csv", args)) {
    clear_layouts(params);
    params.m_out_csv = true;
    params.set_separator(",", false);
    params.m_no_whitespace = !params.m_pair_datetime;
  }
  if (find_flag("-csvgen", args)) {
    clear_layouts(params);
    params.m_out_csvgen = true;
    params.set_separator(",", false);
    params.m_no_whitespace = true;
  }
  if (find_flag("-csvl2t", args)) {
    clear_layouts(params);
    params.m_out_csvl2t = true;
    params.m_header_pending = true;
    params.set_separator(",", false);
  }
  if (find_flag("-bodyfile", args)) {
    clear_layouts(params);
    params.m_out_bodyfile = true;
    params.m_header_pending = true;
    params.set_separator("|", false);
  }
  if (find_flag("-xml", args)) {
    clear_layouts(params);
    params.m_out_xml = true;
    params.m_header_pending = false;
    params.set_separator("", false);
  }
  if (find_flag("-multiline", args)) {
    clear_layouts(params);
    params.m_out_multiline = true;
    params.m_header_pending = true;
    params.m_csv_separator.clear();
    params.m_sep_char = 0;
    params.m_sep_subst = 0;
  }
}

// "alias1|true path 1|alias2|true path 2": pairs of an alias and the path it
// stands for.
bool read_path_aliases(cmd_params& params, arg_list& args, std::string_view option) {
  std::string list;
  if (!take_option_value(option, list, args)) return true;
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find('|', start);
    if (end == std::string::npos) end = list.size();
    std::string piece = list.substr(start, end - start);
    if (trim_whitespace(piece)) pieces.push_back(expand_path(piece));
    start = end + 1;
  }
  if (pieces.size() % 2 != 0) {
    std::fprintf(stderr, "%s, aborting\n", "imbalanced alias to true pathfiles");
    return false;
  }
  for (std::size_t i = 0; i < pieces.size(); i += 2) {
    params.m_path_aliases.emplace_back(std::move(pieces[i]), std::move(pieces[i + 1]));
  }
  return true;
}

// Settings of the tool family that this program stores but never consults.
void read_stored_settings(cmd_params& params, arg_list& args) {
  std::string value;
  if (find_flag("-gzip", args)) params.m_compress = params.m_gzip = true;
  if (find_flag("-zlib", args)) params.m_compress = params.m_zlib = true;
  if (take_option_value("-threads", value, args)) params.m_threads = parse_count(value);
  if (take_option_value("-zlibex", value, args)) {
    params.m_compress = params.m_zlibex = true;
    params.m_zlibex_arg = value;
  }
}

bool refuse_database_output(arg_list& args) {
  std::string value;
  if (take_option_value("-sqlite_log", value, args) || take_option_value("-sqlite", value, args)) {
    std::fputs("This option is not offered in this build\n", stderr);
    return false;
  }
  return true;
}

void read_names_and_resources(cmd_params& params, arg_list& args) {
  std::string value;
  if (take_option_value("-signal", value, args)) params.m_signal = value;
  if (take_option_value("-hostname", value, args)) params.m_hostname = value;
  find_flag("-split_pathfile", args);
  if (take_option_value("-username", value, args)) params.m_username = value;
  take_option_value("-cpuinst", value, args);
  if (take_option_value("-cpu", value, args)) params.m_cpu = parse_count(value);
  if (take_option_value("-fragment_files", value, args)) {
    params.m_fragment_size = parse_count(value);
    params.m_separate_files = true;
  }
  if (find_flag("-separate_files", args)) params.m_separate_files = true;
}

// A results file that can't be written is refused before any work is done.
// The probe opens without truncating, so naming an existing file never
// costs its content, even when the run stops before its results are
// written.
bool can_write_results_file(const std::string& path) {
  uni::fileio probe;
  const bool opened = probe.open_for_append(path);
  probe.close();
  return opened;
}

bool read_results_file(cmd_params& params, arg_list& args) {
  std::string name;
  if (take_option_value("-out", name, args) || take_option_value("-outfile", name, args)) {
    params.m_out_file = expand_path(name);
    replace_char(params.m_out_file, '\\', '/', false);
    if (!can_write_results_file(params.m_out_file)) {
      std::fprintf(stderr, "prob opening file %s for output, aborting\n",
                   params.m_out_file.c_str());
      return false;
    }
  }
  // Left in the list: in single-file mode it is one word too many.
  params.m_append = has_option("-append", args, 1);
  return true;
}

void read_input_selection(cmd_params& params, arg_list& args) {
  std::string value;
  if (take_option_value("-outdir", value, args)) {
    params.m_out_dir = expand_path(value);
    params.m_has_out_dir = true;
  }
  if (take_option_value("-enumdir", value, args)) {
    params.m_enum_dir = expand_path(value);
    params.m_enumdir = true;
  }
  if (take_option_value("-num_subdirs", value, args)) params.m_num_subdirs = parse_count(value);
  if (find_flag("-profile", args)) params.m_profile = true;
  if (find_flag("-pipe", args)) params.m_pipe = true;
}

bool read_filters(cmd_params& params, arg_list& args) {
  std::string value;
  while (take_option_value("-filter_skip", value, args)) {
    for (FilterEntry& entry : parse_filter_patterns(value)) {
      params.m_skip_filters.push_back(std::move(entry));
    }
  }
  while (take_option_value("-filter", value, args)) {
    for (FilterEntry& entry : parse_filter_patterns(value)) {
      params.m_filters.push_back(std::move(entry));
    }
    std::string path;
    if (!params.m_filters.empty() && take_option_value("-filter_path", path, args)) {
      const std::wstring lowered = utf8_to_wide(to_lower(path));
      for (FilterEntry& entry : params.m_filters) {
        entry.path = lowered;
        entry.path_length = static_cast<std::uint32_t>(lowered.size());
      }
    }
  }
  while (take_option_value("-filter_sig", value, args)) {
    FilterEntry entry;
    // A mistyped signature would otherwise just vanish from the filter and
    // let through files the examiner meant to leave out.
    if (!parse_filter_signature(value, entry)) {
      std::fprintf(stderr, "invalid filter signature %s, aborting\n", value.c_str());
      return false;
    }
    params.m_filters.push_back(std::move(entry));
  }
  return true;
}

// One bound of the time window. False only for a value that is not a date
// at all; a date that is no valid time (or a stop before the start) is
// reported and leaves the bound unset.
bool read_time_bound(arg_list& args, std::string_view option, time_bound_end end,
                     const char* refused, const time* not_before, time& bound, bool& has_bound) {
  std::string value;
  if (!take_option_value(option, value, args)) return true;
  time parsed;
  switch (parse_time_bound(value, end, parsed)) {
    case time_bound_status::malformed:
      return false;
    case time_bound_status::invalid:
      std::fputs(refused, stderr);
      return true;
    case time_bound_status::ok:
      break;
  }
  if (not_before != nullptr && parsed.filetime() < not_before->filetime()) {
    std::fputs(refused, stderr);
    return true;
  }
  bound = parsed;
  has_bound = true;
  return true;
}

bool read_time_window(cmd_params& params, arg_list& args) {
  return read_time_bound(args, "-cmd_start_time", time_bound_end::start, "invalid start time, ignoring\n",
                         nullptr, params.m_start_time, params.m_has_start_time) &&
         read_time_bound(args, "-cmd_stop_time", time_bound_end::stop, "invalid stop time, ignoring\n",
                         params.m_has_start_time ? &params.m_start_time : nullptr, params.m_stop_time,
                         params.m_has_stop_time);
}

void read_field_layout(cmd_params& params, arg_list& args) {
  if (find_flag("-base10", args)) params.m_base16 = false;
  if (find_flag("-base16", args)) params.m_base16 = true;
  std::string value;
  if (take_option_value("-csv_separator", value, args)) params.set_separator(value, false);
  if (find_flag("-enable_quoted_csv_fields", args)) {
    params.m_quoted_fields = true;
    // Quoting protects the fields, so the padding around the separator goes;
    // a tab separator is kept whole.
    if (params.m_csv_separator.find('\t') == std::string::npos) {
      trim_whitespace(params.m_csv_separator);
    }
    params.m_pad_fields = false;
    params.m_sep_char = 0;
  }
  if (find_flag("-no_whitespace", args)) {
    params.m_no_whitespace = true;
    params.m_pad_fields = false;
    std::erase(params.m_csv_separator, ' ');
  }
}

void read_date_time_patterns(cmd_params& params, arg_list& args) {
  std::string value;
  if (take_option_value("-dateformat", value, args) &&
      !accept_date_format(value, params.m_date_format)) {
    std::fprintf(stderr, "%s\n", invalid_format_message(value).c_str());
  }
  if (take_option_value("-timeformat", value, args) &&
      !accept_time_format(value, params.m_time_format)) {
    std::fprintf(stderr, "%s\n", invalid_format_message(value).c_str());
  }
}

}  // namespace

bool cmd_params::parse_common_options(arg_list& args) {
  if (args.empty()) return false;
  if (m_cmdline.empty()) m_cmdline = join_arguments(args);
  if (m_progname.empty()) m_progname = program_base_name(args[0]);

  if (find_flag("-pair_datetime", args)) m_pair_datetime = true;
  open_diagnostics(*this, args);
  select_layout(*this, args);
  if (!read_path_aliases(*this, args, "-alias") || !read_path_aliases(*this, args, "-aliaspath")) {
    return false;
  }
  read_stored_settings(*this, args);
  if (!refuse_database_output(args)) return false;
  read_names_and_resources(*this, args);
  if (!read_results_file(*this, args)) return false;
  read_input_selection(*this, args);
  if (!read_filters(*this, args)) return false;
  if (!read_time_window(*this, args)) return false;
  read_field_layout(*this, args);
  read_date_time_patterns(*this, args);
  if (find_flag("-verbose", args) || find_flag("-v", args)) m_verbose = true;
  if (find_flag("-quiet", args)) m_messages_on = false;
  compile_date_time_format(m_date_time_desc, m_date_format, m_time_format, m_pair_datetime);
  return true;
}

}  // namespace qv
