// Small operations on byte strings that know only ASCII.
//
// Case handling is that of the "C" locale: only the letters A-Z and a-z have
// a case, every other byte (UTF-8 sequences included) is left alone, so
// lower-casing never changes a name's length or its non-ASCII characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kerf::text {

constexpr char lower_ascii(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of one hexadecimal digit of either case, or -1.
constexpr int hex_digit_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The number the hexadecimal digits stand for (at most 16 of them count);
// nothing when a character is not a hex digit.
constexpr std::optional<std::uint64_t> hex_value(std::string_view digits) noexcept {
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = hex_digit_value(c);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint64_t>(digit);
  }
  return value;
}

constexpr bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Lower-cases A-Z in place and returns the same string.
std::string& to_lower(std::string& text);
std::string lowered(std::string_view text);

// Equal without regard to the case of A-Z.
bool equals_ignoring_case(std::string_view a, std::string_view b) noexcept;

// `text` without leading and trailing spaces, tabs, CRs and LFs.
std::string_view trimmed(std::string_view text) noexcept;

// Removes every trailing CR and LF.
void strip_line_end(std::string& text);

}  // namespace kerf::text
