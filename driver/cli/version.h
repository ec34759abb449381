// The version of kerf as every run shows it. The number has one home, the
// project() line of CMakeLists.txt, which hands it to this library as
// KERF_VERSION; the banner, --version and the Debian package all read it
// from there, so they cannot disagree.
#pragma once

#include <string_view>

#ifndef KERF_VERSION
#error "KERF_VERSION comes from the build (project() in CMakeLists.txt)"
#endif

namespace kerf {

inline constexpr std::string_view kVersion = KERF_VERSION;

// First line of the run header and of the usage text.
inline constexpr std::string_view kBanner = "kerf ver: " KERF_VERSION;

}  // namespace kerf
