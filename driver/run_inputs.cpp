#include "driver/run_inputs.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "driver/progress_line.h"
#include "lib/filter_match.h"
#include "lib/path_ops.h"
#include "lib/qv_portable_dir.h"
#include "report/output_driver.h"

namespace kerf {

namespace {

// Between the long-form reports of a bulk run, and once before the first.
constexpr std::string_view kFileSeparator =
    " =================================================== \n\n";

// -pipe wins when both sources were given.
bool open_source(qvportdir::stdin_stream_ex& names, const kerf_user_context& options) {
  if (options.m_pipe) return names.open_stdin();
  return names.open_directory(options.m_enum_dir, options.m_num_subdirs, options.m_filters);
}

// The readable report is the one whose files are set apart by a line.
bool writes_separators(const kerf_user_context& options) {
  return !options.m_out_csv && !options.m_out_csvl2t && !options.m_out_bodyfile &&
         options.m_verbose;
}

void write_separator(output_sink& out) {
  out.stream() << kFileSeparator;
  out.end_of_file();
}

// Problem messages pass through the progress line while it is in use, so it
// can take itself off the terminal before one is written.
class messages_through {
 public:
  messages_through(kerf_user_context& options, qv::message_sink& sink)
      : m_options(options), m_previous(options.m_messages) {
    options.m_messages = &sink;
  }
  ~messages_through() { m_options.m_messages = m_previous; }
  messages_through(const messages_through&) = delete;
  messages_through& operator=(const messages_through&) = delete;

 private:
  kerf_user_context& m_options;
  qv::message_sink* m_previous;
};

}  // namespace

bool report_input_file(kerf_user_context& options, output_sink& out) {
  std::string directory;
  qv::split_path(options.m_input_path, directory, options.m_input_name);
  const bool reported = output_prefetch_entry(out.stream(), options);
  out.end_of_file();
  return reported;
}

bool run_bulk_inputs(kerf_user_context& options, output_sink& out) {
  qvportdir::stdin_stream_ex names(options);
  if (!open_source(names, options)) return false;

  const bool separators = writes_separators(options);
  if (separators) write_separator(out);

  const bool show_progress =
      progress_line::wanted(::isatty(STDERR_FILENO) == 1, options.m_messages_on);
  progress_line progress(show_progress ? stderr : nullptr, out.writes_to_terminal());
  const messages_through messages(options, progress);

  // The directory walk screens each file as it lists it, with the same
  // filters and time window; only piped names are screened here.
  const bool screen_names = options.m_pipe;
  bool reported = false;  // the last file's result; false while none was handed on
  std::string line;
  while (names.next_name(line, true)) {
    if (line.empty()) continue;
    if (screen_names && !qv::file_matches_filter(options, line, options.m_filters)) continue;
    clear_entry(options.m_entry);
    options.m_input_path = qv::expand_env_vars(line, true);
    options.write_diags_line(options.m_input_path);
    progress.before_file(options.m_input_path);
    reported = report_input_file(options, out);
    if (separators && reported) write_separator(out);
    progress.after_file(reported);
  }
  progress.erase();
  return reported;
}

bool run_inputs(kerf_user_context& options, output_sink& out) {
  if (options.m_pipe || options.m_enumdir) return run_bulk_inputs(options, out);
  // One file named on the command line: no filter, no separator line.
  return report_input_file(options, out);
}

}  // namespace kerf
