// Small in-place operations on UTF-8 byte strings shared by the option
// parser, the driver and the pipe reader.
//
// Case handling is that of the "C" locale: only the ASCII letters A-Z and
// a-z have a case, every other byte (UTF-8 sequences included) is left alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

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

// Lower-cases A-Z in place and returns the same string.
std::string& to_lower(std::string& text);

// False when the lengths differ. Otherwise lower-cases BOTH arguments in
// place (the callers' strings change) and compares them byte for byte.
bool equals_ignore_case(std::string& a, std::string& b);

// Replaces the first occurrence of `needle` in `text` by `replacement`; false
// when there is none. With `ignore_case` the search runs on a lower-cased copy
// of `text` and `needle` itself is lower-cased in place (the caller's string
// changes); the replacement is made at the found position in the original
// text. An empty needle matches at position 0.
bool replace_first(std::string& text, std::string& needle, std::string_view replacement,
                   bool ignore_case);

// Removes leading and trailing spaces, tabs, CRs and LFs. False when nothing
// is left (the string was empty or all white space), true otherwise.
bool trim_whitespace(std::string& text);

// Removes every trailing CR and LF; returns how many were removed.
std::size_t strip_line_end(std::string& text);

// Replaces every `from` by `to`; with `ignore_case` both the lower- and the
// upper-case form of `from` are replaced. Nothing happens when `from` equals
// `to`.
void replace_char(std::string& text, char from, char to, bool ignore_case);

}  // namespace qv
