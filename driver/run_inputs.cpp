#include "driver/run_inputs.h"

#include <string>

#include "lib/path_ops.h"
#include "report/output_driver.h"

namespace kerf {

bool report_input_file(kerf_user_context& options, output_sink& out) {
  std::string directory;
  qv::split_path(options.m_input_path, directory, options.m_input_name);
  const bool reported = output_prefetch_entry(out.stream(), options);
  out.end_of_file();
  return reported;
}

// ---------------------------------------------------------------------------
// BULK MODES: placeholder.
//
// The pipe mode (names read from standard input) and the directory mode
// (names found by a breadth-first walk below m_enum_dir, m_num_subdirs
// levels deep) are implemented here by a later change. The loop they share:
// open the source (-pipe wins when both were given; a source that can't be
// opened gives false), write the file separator line first when the
// long-form report is selected, then for every non-empty name that passes
// the input filter: clear the record, write the name to the diagnostics
// file, set m_input_path to the name with %NAME% references expanded, call
// report_input_file, and after a report write the separator line again. The
// result is that of the last file handed on, false when there was none.
// ---------------------------------------------------------------------------
bool run_bulk_inputs(kerf_user_context&, output_sink&) { return false; }

bool run_inputs(kerf_user_context& options, output_sink& out) {
  if (options.m_pipe || options.m_enumdir) return run_bulk_inputs(options, out);
  // One file named on the command line: no filter, no separator line.
  return report_input_file(options, out);
}

}  // namespace kerf
