#include "lib/arg_list.h"

#include <algorithm>

#include "lib/string_ops.h"

namespace qv {

namespace {

// Index of the first argument equal to `name` at or after `start`, or npos.
std::size_t find_option(std::string_view name, const arg_list& args, std::size_t start) {
  for (std::size_t i = start; i < args.size(); ++i) {
    if (option_equals(args[i], name)) return i;
  }
  return std::string::npos;
}

}  // namespace

arg_list make_arg_list(int argc, const char* const* argv) {
  arg_list args;
  args.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return args;
}

bool option_equals(std::string_view word, std::string_view name) {
  return word.size() == name.size() &&
         std::equal(word.begin(), word.end(), name.begin(),
                    [](char a, char b) { return lower_ascii(a) == lower_ascii(b); });
}

bool find_flag(std::string_view name, arg_list& args, bool keep) {
  const std::size_t at = find_option(name, args, 0);
  if (at == std::string::npos) return false;
  if (!keep) args.erase(args.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool take_option_value(std::string_view name, std::string& value, arg_list& args) {
  const std::size_t at = find_option(name, args, 0);
  if (at == std::string::npos || at + 1 >= args.size()) return false;
  value = args[at + 1];
  args.erase(args.begin() + static_cast<std::ptrdiff_t>(at),
             args.begin() + static_cast<std::ptrdiff_t>(at + 2));
  return true;
}

bool has_option(std::string_view name, const arg_list& args, std::size_t start) {
  return find_option(name, args, start) != std::string::npos;
}

bool peek_option_value(std::string_view name, std::string& value, const arg_list& args,
                       std::size_t start) {
  const std::size_t at = find_option(name, args, start);
  if (at == std::string::npos || at + 1 >= args.size()) return false;
  value = args[at + 1];
  return true;
}

std::uint64_t parse_number(std::string_view text) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  std::uint64_t value = 0;
  if (text.size() >= 2 && text[0] == '0' && lower_ascii(text[1]) == 'x') {
    for (const char c : text.substr(2)) {
      const int hex_digit = hex_digit_value(c);
      if (hex_digit < 0) break;
      const auto digit = static_cast<unsigned>(hex_digit);
      if (value > (UINT64_MAX - digit) / 16) return UINT64_MAX;
      value = value * 16 + digit;
    }
    return value;
  }
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    const auto digit = static_cast<unsigned>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return value;
}

std::string join_arguments(const arg_list& args, char quote) {
  std::string joined;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) joined.push_back(' ');
    if (args[i].find(' ') != std::string::npos) {
      joined.push_back(quote);
      joined += args[i];
      joined.push_back(quote);
    } else {
      joined += args[i];
    }
  }
  return joined;
}

}  // namespace qv
