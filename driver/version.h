// The version of kerf as every run shows it.
#pragma once

#include <string_view>

namespace kerf {

// First line of the run header and of the usage text.
inline constexpr std::string_view kBanner = "kerf ver: 1.40";

}  // namespace kerf
