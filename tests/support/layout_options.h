// Run options for report tests, set from option words through the program's
// own option parser: {"-csv", "-no_whitespace"}, {"-csvl2t", "-hostname", "H"}.
#pragma once

#include <string>
#include <vector>

#include "driver/kerf_user_context.h"

namespace kerf::testing {

// Resets `options` to the defaults of a run and parses `words` (program name
// not included). False when parsing fails or a word is left over.
bool apply_layout_options(kerf_user_context& options, std::vector<std::string> words);

}  // namespace kerf::testing
