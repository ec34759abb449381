#include "driver/kerf_user_context.h"

namespace kerf {

kerf_user_context::kerf_user_context() { reset_run_options(*this); }

kerf_user_context::~kerf_user_context() = default;

void reset_run_options(kerf_user_context& options) {
  options.reset_common_options();
  options.m_input_path.clear();
  options.m_input_name.clear();
  options.m_prevtimes = false;
  options.m_show_prefetch_path = false;
  options.m_verbose = false;
  options.m_header_pending = true;
  options.m_out_csv = true;
  options.m_csv_separator = " | ";
  options.m_sep_char = '|';
  options.m_sep_subst = ';';
  options.m_columns.clear();
  clear_entry(options.m_entry);
}

bool parse_program_options(kerf_user_context& options, qv::arg_list& args, std::string_view version) {
  // Placeholder until the program's option parser lands.
  reset_run_options(options);
  if (!options.parse_common_options(args)) return false;
  options.m_version = std::string(version);
  options.m_entry.format_label = "PREFETCH";
  options.m_app_path_column = true;
  options.m_prevtimes = true;
  return true;
}

}  // namespace kerf
