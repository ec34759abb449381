// Numbers appended to a line being built, without streams or locales.
//
// The report writers build every line in one string and write it whole;
// numbers go straight into that string through std::to_chars.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kerf::text {

// Unsigned decimal.
inline void append_decimal(std::string& out, std::uint64_t value) {
  char digits[20];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

// Unsigned decimal, right-aligned: `fill` on the left up to `width`
// characters; a wider number is written whole.
inline void append_decimal(std::string& out, std::uint64_t value, std::size_t width, char fill) {
  char digits[20];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  const auto count = static_cast<std::size_t>(result.ptr - digits);
  if (count < width) out.append(width - count, fill);
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

// Zero-padded decimal, as in dates, times and list numbers ("007").
inline void append_zero_padded(std::string& out, std::uint64_t value, std::size_t width) {
  append_decimal(out, value, width, '0');
}

// Hexadecimal, filled on the left with "0" up to `width`.
inline void append_hex(std::string& out, std::uint64_t value, std::size_t width, bool upper = false) {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
  const auto count = static_cast<std::size_t>(result.ptr - digits);
  if (upper) {
    for (char* c = digits; c != result.ptr; ++c) {
      if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  if (count < width) out.append(width - count, '0');
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace kerf::text
