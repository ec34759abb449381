#include "lib/cmd_params.h"

#include <string>

#include "lib/string_ops.h"

namespace qv {

cmd_params::cmd_params() { reset_common_options(); }

cmd_params::~cmd_params() = default;

void cmd_params::reset_common_options() {
  m_cmdline.clear();
  m_progname.clear();
  m_version.clear();
  m_out_file.clear();
  m_out_dir.clear();
  m_has_out_dir = false;
  m_append = false;
  m_username.clear();
  m_hostname.clear();
  m_date_format = "yyyy-mm-dd";
  m_time_format = "hh:mm:ss.xxx";
  m_date_time_desc = date_time_format_desc{};
  m_sep_char = '|';
  m_sep_subst = ';';
  m_csv_separator = " | ";
  m_no_whitespace = false;
  m_pad_fields = true;
  m_base16 = true;
  m_quoted_fields = false;
  m_out_xml = false;
  m_out_csv = true;
  m_out_csvl2t = false;
  m_out_csvgen = false;
  m_out_bodyfile = false;
  m_out_multiline = false;
  m_verbose = false;
  m_messages_on = true;
  m_pair_datetime = false;
  m_header_pending = true;
  m_filters.clear();
  m_skip_filters.clear();
  m_path_aliases.clear();
  m_pipe = false;
  m_enum_dir.clear();
  m_enumdir = false;
  m_num_subdirs = 0;
  m_start_time = time{};
  m_has_start_time = false;
  m_stop_time = time{};
  m_has_stop_time = false;
  m_compress = m_gzip = m_zlib = m_zlibex = false;
  m_zlibex_arg.clear();
  m_threads = 0;
  m_cpu = 0;
  m_separate_files = false;
  m_fragment_size = 0;
  m_signal.clear();
  m_profile = false;
  m_diags_file.reset();
  m_diags_level = 0;
}

void cmd_params::set_separator(std::string_view text, bool comma_flag) {
  m_csv_separator = std::string(text);
  if (m_quoted_fields) {
    m_sep_char = 0;
    m_sep_subst = 0;
    return;
  }
  std::string lowered(text);
  to_lower(lowered);
  if (lowered.find('|') != std::string::npos) {
    m_sep_char = '|';
    m_sep_subst = ';';
  } else if (lowered.find(',') != std::string::npos) {
    m_sep_char = ',';
    m_sep_subst = comma_flag ? ';' : ' ';
  } else if (lowered == "tab" || lowered == "\\t") {
    m_sep_char = 0;
    m_sep_subst = 0;
    m_csv_separator.assign(1, '\t');
  } else {
    m_sep_char = 0;
    m_sep_subst = 0;
  }
}

void cmd_params::write_diags_line(std::string_view text) {
  if (!m_diags_file || !m_diags_file->is_open()) return;
  std::string line;
  line.reserve(text.size() + 3);
  line += "->";
  line += text;
  line += '\n';
  m_diags_file->append_text(line);
}

}  // namespace qv
