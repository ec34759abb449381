// Run options for report tests, set from option words the way a command line
// sets them: {"-csv", "-no_whitespace"}, {"-csvl2t", "-hostname", "H"}, ...
//
// Covers the options that shape output: the layouts (with the long-form
// default when no delimited layout is named), separators, blank filling,
// quoting, date/time patterns and pairing, -verbose, -pf_path, -username,
// -hostname, -pipe, -enumdir and -quiet.
#pragma once

#include <string>
#include <vector>

#include "driver/kerf_user_context.h"

namespace kerf::testing {

// Resets `options` to the defaults of a run and applies `words` (program
// name not included). The date/time descriptor is compiled as at the end of
// option parsing. False when a word is not one of the options above or a
// value is missing.
bool apply_layout_options(kerf_user_context& options, std::vector<std::string> words);

}  // namespace kerf::testing
