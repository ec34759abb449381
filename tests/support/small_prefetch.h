// A small Prefetch image for command-line tests: an executable run twice,
// loading NTDLL and itself from one volume named "\VOLUME{...}".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kerf::testing {

std::vector<std::uint8_t> small_prefetch(std::uint32_t version, const std::wstring& exe);

}  // namespace kerf::testing
