// One delimited line per Prefetch file under a header written once per run:
// the compact comma-separated look of -csv, or the blank-filled " | " table.
#pragma once

#include <ostream>

#include "driver/kerf_user_context.h"

namespace kerf {

// False, writing nothing, when the CSV layout is not selected. Otherwise, on
// the first call of the run, fixes the columns (options.m_columns) and writes
// the header line; then writes the row of options.m_entry.
bool write_csv_entry(std::ostream& out, kerf_user_context& options);

}  // namespace kerf
