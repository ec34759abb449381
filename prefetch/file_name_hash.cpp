#include "prefetch/file_name_hash.h"

#include "lib/text/ascii.h"

namespace kerf {

std::optional<std::uint32_t> hash_in_file_name(std::string_view file_name) {
  const std::size_t dash = file_name.rfind('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::string_view digits = file_name.substr(dash + 1);
  digits = digits.substr(0, digits.find('.'));
  if (digits.size() != 8) return std::nullopt;
  std::uint32_t hash = 0;
  for (const char c : digits) {
    const int value = text::hex_digit_value(c);
    if (value < 0) return std::nullopt;
    hash = hash << 4 | static_cast<std::uint32_t>(value);
  }
  return hash;
}

}  // namespace kerf
