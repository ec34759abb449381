// The readable long-form report of one Prefetch file: the file's own times,
// the executable and its run times, the files it loaded and the volumes and
// directories it touched, in two aligned columns.
#pragma once

#include <ostream>

#include "driver/kerf_user_context.h"

namespace kerf {

// Writes the report of options.m_entry. False, writing nothing, when one of
// the delimited layouts (CSV, log2timeline, body file) is selected. Control
// characters in names are written as "\xNN".
bool write_longform_entry(std::ostream& out, const kerf_user_context& options);

}  // namespace kerf
