#include "lib/text/utf8_repair.h"

#include <cstdint>
#include <cstring>

#include "lib/text/utf8.h"

namespace kerf::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The unit of a surrogate stored as three bytes at the start of `text`
// (ED A0..BF 80..BF gives D800..DFFF), or 0 when the text does not start
// with one.
char32_t stored_surrogate(std::string_view text) noexcept {
  if (text.size() < 3) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const auto second = static_cast<unsigned char>(text[1]);
  const auto third = static_cast<unsigned char>(text[2]);
  if (lead != 0xED || (second & 0xE0) != 0xA0 || (third & 0xC0) != 0x80) return 0;
  return 0xD000 | static_cast<char32_t>(second & 0x3F) << 6 | (third & 0x3F);
}

constexpr bool is_high_surrogate(char32_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(char32_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool is_ascii(std::string_view text) noexcept {
  // Names are nearly always ASCII: eight bytes are tested at a time.
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::size_t i = 0;
  std::uint64_t seen = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, sizeof word);
    seen |= word;
  }
  for (; i < text.size(); ++i) seen |= static_cast<unsigned char>(text[i]);
  return (seen & kHigh) == 0;
}

void append_repaired_utf8(std::string& out, std::string_view text) {
  while (!text.empty()) {
    const Utf8Char next = decode_utf8_char(text);
    if (next.valid) {
      out.append(text.substr(0, next.length));
      text.remove_prefix(next.length);
      continue;
    }
    const char32_t unit = stored_surrogate(text);
    if (unit == 0) {
      append_utf8(out, kReplacement);
      text.remove_prefix(1);
      continue;
    }
    const char32_t partner = is_high_surrogate(unit) ? stored_surrogate(text.substr(3)) : 0;
    if (is_low_surrogate(partner)) {
      append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (partner - 0xDC00));
      text.remove_prefix(6);
    } else {
      append_utf8(out, kReplacement);
      text.remove_prefix(3);
    }
  }
}

}  // namespace kerf::text
