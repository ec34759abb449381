#include "report/output_driver.h"

#include "prefetch/loader.h"
#include "report/csv_report.h"
#include "report/longform_report.h"
#include "report/prefetch_timeline.h"

namespace kerf {

bool output_prefetch_entry(std::ostream& out, kerf_user_context& options) {
  // The one place where an exception of any kind ends: a file that can't be
  // loaded or rendered is a failed file, and the run goes on with the next.
  try {
    if (!load_prefetch_file(options.m_input_path,
                            options.m_messages_on ? options.m_messages : nullptr, options.m_entry,
                            options.m_load_buffers)) {
      return false;
    }
    if (options.m_out_csv) return write_csv_entry(out, options);
    if (options.m_out_csvl2t) return write_l2t_entry(out, options);
    if (options.m_out_bodyfile) return write_bodyfile_entry(out, options);
    return write_longform_entry(out, options);
  } catch (...) {
    options.write_diags_line("output_prefetch_entry: exception caught");
    return false;
  }
}

}  // namespace kerf
