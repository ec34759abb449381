// The one road from an input file to its report: load and decode the file,
// then hand the record to the renderer of the chosen layout.
#pragma once

#include <ostream>

#include "driver/kerf_user_context.h"

namespace kerf {

// Loads options.m_input_path and writes its report to `out`. True when a
// report was written. Any exception while loading or rendering is caught
// here and turns into false.
bool output_prefetch_entry(std::ostream& out, kerf_user_context& options);

}  // namespace kerf
