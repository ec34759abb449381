// The hash Windows writes into a Prefetch file's own name: EXE-XXXXXXXX.pf.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kerf {

// The 8 hexadecimal digits after the last "-" of a Prefetch file's name,
// before its extension; nothing when they are not 8 hex digits.
std::optional<std::uint32_t> hash_in_file_name(std::string_view file_name);

}  // namespace kerf
