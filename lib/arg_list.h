// The argument list and the primitives the option parsers use on it.
//
// Options are words of the command line compared without regard to case. A
// parser removes every option it recognises, with its value, so that what is
// left decides the input mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

using arg_list = std::vector<std::string>;

// Copies an argument vector; an absent entry becomes an empty string.
arg_list make_arg_list(int argc, const char* const* argv);

// True when `word` equals `name` without regard to ASCII case.
bool option_equals(std::string_view word, std::string_view name);

// True when some argument equals `name`; the first such one is removed unless
// `keep` is set.
bool find_flag(std::string_view name, arg_list& args, bool keep = false);

// When the first argument equal to `name` has a word after it, `value`
// receives that word, both are removed, and the result is true. An option
// standing last keeps its place and gives false.
bool take_option_value(std::string_view name, std::string& value, arg_list& args);

// True when some argument from position `start` on equals `name`.
bool has_option(std::string_view name, const arg_list& args, std::size_t start = 0);

// Like take_option_value from position `start`, without removing anything.
bool peek_option_value(std::string_view name, std::string& value, const arg_list& args,
                       std::size_t start = 0);

// The number rule of numeric option values: surrounding white space trimmed,
// "0x" introduces hexadecimal digits, anything else is decimal. Digits stop at
// the first character that is not one; no digits give 0; a value too large
// for 64 bits gives the largest one rather than wrapping around.
std::uint64_t parse_number(std::string_view text);

// All arguments joined by single spaces; an argument holding a space is
// enclosed in `quote` characters.
std::string join_arguments(const arg_list& args, char quote = '"');

}  // namespace qv
