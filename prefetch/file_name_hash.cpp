#include "prefetch/file_name_hash.h"

#include "lib/text/ascii.h"

namespace kerf {

std::optional<std::uint32_t> hash_in_file_name(std::string_view file_name) {
  const std::size_t dash = file_name.rfind('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::string_view digits = file_name.substr(dash + 1);
  digits = digits.substr(0, digits.find('.'));
  if (digits.size() != 8) return std::nullopt;
  const std::optional<std::uint64_t> hash = text::hex_value(digits);
  if (!hash) return std::nullopt;
  return static_cast<std::uint32_t>(*hash);
}

}  // namespace kerf
