// Four time stamps of one object as Unix seconds, for the body-file layout.
//
// The body file has four time columns (accessed, modified, changed, created)
// of whole Unix seconds, with 0 for "not known". Prefetch records hold
// FILETIMEs, so they are converted four at a time.
#pragma once

#include <array>
#include <cstdint>

#include "lib/type_time.h"

namespace qv {

struct unix_time_quad {
  std::array<std::uint64_t, 4> seconds{};  // in the order the caller gave them
  type_time kind = type_time::unix_time;

  // Converts four raw values of `kind` to Unix seconds; the result's kind is
  // unix time. FILETIMEs become whole seconds since 1970, and 0 where the
  // FILETIME is 0, negative as a signed number, or before 1970 (a time the
  // body file cannot show). Unix times are copied; other kinds give zeros.
  static unix_time_quad convert(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d,
                                type_time kind) noexcept;

  // Keeps four values and their kind exactly as given.
  static unix_time_quad store(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d,
                              type_time kind) noexcept;

  bool operator==(const unix_time_quad&) const = default;
};

}  // namespace qv
