#include "tests/support/layout_options.h"

#include "lib/arg_list.h"
#include "lib/date_time_format_desc.h"
#include "lib/date_time_pattern_option.h"
#include "lib/string_ops.h"

namespace kerf::testing {

namespace {

void select_csv(kerf_user_context& o) {
  o.m_out_csv = true;
  o.m_out_xml = o.m_out_csvl2t = o.m_out_bodyfile = o.m_out_multiline = false;
  o.set_separator(",", false);
  o.m_no_whitespace = !o.m_pair_datetime;
}

void select_csvl2t(kerf_user_context& o) {
  o.m_out_csvl2t = true;
  o.m_out_xml = o.m_out_csv = o.m_out_bodyfile = o.m_out_multiline = false;
  o.m_header_pending = true;
  o.set_separator(",", false);
}

void select_bodyfile(kerf_user_context& o) {
  o.m_out_bodyfile = true;
  o.m_out_xml = o.m_out_csv = o.m_out_csvl2t = o.m_out_multiline = false;
  o.m_header_pending = true;
  o.set_separator("|", false);
}

void select_longform(kerf_user_context& o) {
  o.m_verbose = true;
  o.m_out_xml = o.m_out_csv = o.m_out_csvl2t = o.m_out_bodyfile = false;
  o.m_sep_char = 0;
  o.m_sep_subst = 0;
  o.m_prevtimes = true;
}

}  // namespace

bool apply_layout_options(kerf_user_context& options, std::vector<std::string> words) {
  qv::arg_list args;
  args.reserve(words.size() + 2);
  args.emplace_back("kerf");
  for (auto& word : words) args.push_back(std::move(word));

  reset_run_options(options);
  const bool delimited = qv::has_option("-csv", args, 1) || qv::has_option("-csvl2t", args, 1) ||
                         qv::has_option("-bodyfile", args, 1);
  const bool table_by_default = qv::has_option("-pipe", args, 1) &&
                                qv::has_option("-enumdir", args, 1) &&
                                !qv::has_option("-verbose", args, 1) &&
                                !qv::has_option("-v", args, 1);
  if (!delimited && !table_by_default && !qv::has_option("-longform", args, 1)) {
    args.emplace_back("-longform");
  }

  options.m_progname = "kerf";
  std::string value;
  if (qv::find_flag("-pair_datetime", args)) options.m_pair_datetime = true;
  if (qv::find_flag("-csv", args)) select_csv(options);
  if (qv::find_flag("-csvl2t", args)) select_csvl2t(options);
  if (qv::find_flag("-bodyfile", args)) select_bodyfile(options);
  if (qv::take_option_value("-hostname", value, args)) options.m_hostname = value;
  if (qv::take_option_value("-username", value, args)) options.m_username = value;
  if (qv::take_option_value("-enumdir", value, args)) {
    options.m_enum_dir = value;
    options.m_enumdir = true;
  }
  if (qv::find_flag("-pipe", args)) options.m_pipe = true;
  if (qv::take_option_value("-csv_separator", value, args)) options.set_separator(value, false);
  if (qv::find_flag("-enable_quoted_csv_fields", args)) {
    options.m_quoted_fields = true;
    if (options.m_csv_separator.find('\t') == std::string::npos) {
      qv::trim_whitespace(options.m_csv_separator);
    }
    options.m_pad_fields = false;
    options.m_sep_char = 0;
  }
  if (qv::find_flag("-no_whitespace", args)) {
    options.m_no_whitespace = true;
    options.m_pad_fields = false;
    std::erase(options.m_csv_separator, ' ');
  }
  if (qv::take_option_value("-dateformat", value, args) &&
      !qv::accept_date_format(value, options.m_date_format)) {
    return false;
  }
  if (qv::take_option_value("-timeformat", value, args) &&
      !qv::accept_time_format(value, options.m_time_format)) {
    return false;
  }
  if (qv::find_flag("-verbose", args) || qv::find_flag("-v", args)) options.m_verbose = true;
  if (qv::find_flag("-quiet", args)) options.m_messages_on = false;
  qv::compile_date_time_format(options.m_date_time_desc, options.m_date_format,
                               options.m_time_format, options.m_pair_datetime);

  options.m_version = "ver: 1.40";
  options.m_entry.format_label = "PREFETCH";
  options.m_app_path_column = true;
  options.m_prevtimes = true;
  if (qv::find_flag("-pf_path", args)) options.m_show_prefetch_path = true;
  if (qv::find_flag("-longform", args)) select_longform(options);
  return args.size() == 1;
}

}  // namespace kerf::testing
