// Run parameters shared by the whole family of examiner tools: every setting
// the common option parser knows, with its default. A program derives its own
// run options from this class and adds its settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/arg_list.h"
#include "lib/date_time_format_desc.h"
#include "lib/input_filter.h"
#include "lib/qv_time.h"
#include "lib/uni/fileio.h"

namespace qv {

class cmd_params {
 public:
  cmd_params();
  virtual ~cmd_params();
  cmd_params(const cmd_params&) = delete;
  cmd_params& operator=(const cmd_params&) = delete;

  // Every common setting back to its default (the diagnostics file closed).
  void reset_common_options();

  // Turns the options it knows into settings, removing each with its value
  // from `args`. False when the run must not go on (the message, if any, has
  // been written to standard error).
  bool parse_common_options(arg_list& args);

  // The separator rule: which character may not appear inside a field and
  // what replaces it, for the separator `text`.
  void set_separator(std::string_view text, bool comma_flag);

  // Writes "->" and `text` as one line to the diagnostics file, when open.
  void write_diags_line(std::string_view text);

  std::string m_cmdline;
  std::string m_progname;
  std::string m_version;

  std::string m_out_file;
  std::string m_out_dir;
  bool m_has_out_dir = false;
  bool m_append = false;  // -append: keep what the results file already holds (bulk runs)
  std::string m_username;
  std::string m_hostname;

  std::string m_date_format = "yyyy-mm-dd";
  std::string m_time_format = "hh:mm:ss.xxx";
  date_time_format_desc m_date_time_desc{};  // compiled from the two patterns

  char m_sep_char = '|';   // may not appear inside a field value (0: none)
  char m_sep_subst = ';';  // what replaces it
  std::string m_csv_separator = " | ";
  bool m_no_whitespace = false;
  bool m_pad_fields = true;
  bool m_base16 = true;
  bool m_quoted_fields = false;

  bool m_out_xml = false;
  bool m_out_csv = true;
  bool m_out_csvl2t = false;
  bool m_out_csvgen = false;
  bool m_out_bodyfile = false;
  bool m_out_multiline = false;

  bool m_verbose = false;
  bool m_messages_on = true;
  bool m_pair_datetime = false;
  bool m_header_pending = true;

  std::vector<FilterEntry> m_filters;
  std::vector<FilterEntry> m_skip_filters;  // -filter_skip: kept, not consulted
  std::vector<std::pair<std::string, std::string>> m_path_aliases;  // alias, true path

  bool m_pipe = false;
  std::string m_enum_dir;
  bool m_enumdir = false;
  std::uint32_t m_num_subdirs = 0;

  time m_start_time;
  bool m_has_start_time = false;
  time m_stop_time;
  bool m_has_stop_time = false;

  bool m_compress = false;
  bool m_gzip = false;
  bool m_zlib = false;
  bool m_zlibex = false;
  std::string m_zlibex_arg;
  std::uint32_t m_threads = 0;
  std::uint32_t m_cpu = 0;
  bool m_separate_files = false;
  std::uint32_t m_fragment_size = 0;
  std::string m_signal;

  bool m_profile = false;
  // Open only when -diags named one. Shared with the command-line context,
  // which writes the elapsed time to it after the run options are gone.
  std::shared_ptr<uni::fileio> m_diags_file;
  int m_diags_level = 0;
};

}  // namespace qv
