// Run settings for report tests and benchmarks, set from option words
// through the program's own option parser: {"-csv", "-no_whitespace"},
// {"-csvl2t", "-hostname", "H"}.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driver/cli/run_settings.h"

namespace kerf::testing {

// The settings of a run with `words` (program name not included; an input
// file "x.pf" is added when the words name no input); nothing when parsing
// fails.
std::optional<RunSettings> settings_for(const std::vector<std::string>& words);

}  // namespace kerf::testing
