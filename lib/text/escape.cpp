#include "lib/text/escape.h"

#include <cstdint>
#include <cstring>

namespace kerf::text {

namespace {

// Position of the first control byte at or after `from`, or text.size().
// Names nearly never hold one, so the scan tests eight bytes at a time: a
// byte below 0x20, or equal to 0x7F, leaves a borrow in its top bit.
std::size_t find_control_char(std::string_view text, std::size_t from) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, sizeof word);
    const std::uint64_t below_space = (word - kOnes * 0x20) & ~word & kHigh;
    const std::uint64_t del = word ^ (kOnes * 0x7F);
    const std::uint64_t is_del = (del - kOnes) & ~del & kHigh;
    if ((below_space | is_del) != 0) break;  // the byte loop below finds which
  }
  for (; i < text.size(); ++i) {
    if (is_control_char(text[i])) return i;
  }
  return text.size();
}

}  // namespace

void append_escaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t start = 0;
  for (std::size_t i = find_control_char(text, 0); i < text.size();
       i = find_control_char(text, start)) {
    out.append(text, start, i - start);
    const auto byte = static_cast<unsigned char>(text[i]);
    const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    out.append(escaped, sizeof escaped);
    start = i + 1;
  }
  out.append(text, start, text.size() - start);
}

}  // namespace kerf::text
