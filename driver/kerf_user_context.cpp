#include "driver/kerf_user_context.h"

#include <string>
#include <string_view>
#include <utility>

namespace kerf {

kerf_user_context::kerf_user_context() { reset_run_options(*this); }

kerf_user_context::~kerf_user_context() = default;

void reset_run_options(kerf_user_context& options) {
  // The common defaults already are the " | " table with its header pending.
  options.reset_common_options();
  options.m_input_path.clear();
  options.m_input_name.clear();
  options.m_prevtimes = false;
  options.m_show_prefetch_path = false;
  options.m_columns.clear();
  clear_entry(options.m_entry);
}

namespace {

// The readable long-form report is what a user who names no layout gets,
// for one file as for a bulk run; only a run over piped names and a
// directory together (without -verbose) keeps the table that the defaults
// select, which suits the long lists such runs produce.
bool wants_longform_default(const qv::arg_list& args) {
  const auto present = [&args](std::string_view name) { return qv::has_option(name, args, 1); };
  if (present("-csv") || present("-csvl2t") || present("-bodyfile")) return false;
  if (present("-pipe") && present("-enumdir") && !present("-verbose") && !present("-v")) {
    return false;
  }
  return !present("-longform");
}

}  // namespace

bool parse_program_options(kerf_user_context& options, qv::arg_list& args,
                           std::string_view version) {
  // The command line as typed is a fact of the run, not an option: it
  // survives the reset, and the diagnostics file shows it without the
  // "-longform" that may be added below.
  std::string command_line =
      options.m_cmdline.empty() ? qv::join_arguments(args) : std::move(options.m_cmdline);
  reset_run_options(options);
  options.m_cmdline = std::move(command_line);

  // Put right after the program name rather than at the end: there no
  // option can take it for its value (a trailing "-hostname" would turn it
  // into the host name, and the report into the table).
  if (wants_longform_default(args)) args.insert(args.begin() + 1, "-longform");
  if (!options.parse_common_options(args)) return false;

  options.m_version = std::string(version);
  options.m_entry.format_label = "PREFETCH";
  options.m_app_path_column = true;
  options.m_prevtimes = true;
  if (qv::find_flag("-pf_path", args)) options.m_show_prefetch_path = true;
  // Handled last, so it overrides every layout option.
  if (qv::find_flag("-longform", args)) {
    options.m_verbose = true;
    options.m_out_xml = false;
    options.m_out_csv = false;
    options.m_out_csvl2t = false;
    options.m_out_bodyfile = false;
    options.m_sep_char = 0;
    options.m_sep_subst = 0;
    options.m_prevtimes = true;
  }
  return true;
}

}  // namespace kerf
