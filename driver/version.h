// The version of kerf as every run shows it.
#pragma once

#include <string_view>

namespace kerf {

// Handed to the option parser, which keeps it for the reports.
inline constexpr std::string_view kVersionText = "ver: 1.40";
// First line of the run header and of the usage text.
inline constexpr std::string_view kBanner = "kerf ver: 1.40";

}  // namespace kerf
