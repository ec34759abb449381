// A decoded Prefetch file as timeline lines: the lines of the file itself,
// then one line for every older run time the file recorded, newest first, so
// that each recorded run of the executable shows on the timeline.
#pragma once

#include <ostream>

#include "driver/kerf_user_context.h"

namespace kerf {

// log2timeline CSV layout. False, writing nothing, when it is not selected.
bool write_l2t_entry(std::ostream& out, kerf_user_context& options);

// Body-file layout. False, writing nothing, when it is not selected.
bool write_bodyfile_entry(std::ostream& out, kerf_user_context& options);

}  // namespace kerf
