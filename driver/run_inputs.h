// The input modes: one file named on the command line, or a bulk run over
// names piped in on standard input (-pipe) or found in a directory tree
// (-enumdir).
#pragma once

#include "driver/kerf_user_context.h"
#include "driver/output_sink.h"

namespace kerf {

// Runs the mode the options select over options.m_input_path (single-file
// mode) or the bulk source. True when the last file handed to the decoder
// was reported.
bool run_inputs(kerf_user_context& options, output_sink& out);

// Decodes and reports the file named by options.m_input_path: sets
// m_input_name from it, writes the report, and lets the sink push the
// output on. True when the report was written. Every mode goes through here.
bool report_input_file(kerf_user_context& options, output_sink& out);

// The bulk modes: names piped in on standard input (-pipe, which wins) or
// found below options.m_enum_dir (-enumdir). Every non-empty name that
// passes the input filter is decoded and reported in turn; a file that fails
// does not stop the run. With the long-form report a separator line stands
// before the first report and after each one. False when the source can't be
// opened or no file was handed on; otherwise the last file's result.
bool run_bulk_inputs(kerf_user_context& options, output_sink& out);

}  // namespace kerf
