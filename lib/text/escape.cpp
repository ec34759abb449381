#include "lib/text/escape.h"

#include <cstdint>
#include <cstring>

#include "lib/text/utf8.h"

namespace kerf::text {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Position of the first byte at or after `from` that may need escaping (a
// control byte, DEL, or any byte from 0x80 up), or text.size(). Names are
// nearly always plain ASCII, so the scan tests eight bytes at a time: a byte
// below 0x20 or equal to 0x7F leaves a borrow in its top bit, and a byte from
// 0x80 up has its top bit set already.
std::size_t find_special(std::string_view text, std::size_t from) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, sizeof word);
    const std::uint64_t below_space = (word - kOnes * 0x20) & ~word & kHigh;
    const std::uint64_t del = word ^ (kOnes * 0x7F);
    const std::uint64_t is_del = (del - kOnes) & ~del & kHigh;
    if ((below_space | is_del | (word & kHigh)) != 0) break;  // the byte loop below finds which
  }
  for (; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte >= 0x7F) return i;
  }
  return text.size();
}

void append_byte_escape(std::string& out, unsigned char byte) {
  const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
  out.append(escaped, sizeof escaped);
}

bool must_escape(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

void append_escaped(std::string& out, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = find_special(text, 0); i < text.size(); i = find_special(text, start)) {
    out.append(text, start, i - start);
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      append_byte_escape(out, byte);
      start = i + 1;
      continue;
    }
    const Utf8Char next = decode_utf8_char(text.substr(i));
    if (!next.valid) {
      append_byte_escape(out, byte);
    } else if (must_escape(next.code_point)) {
      const char32_t c = next.code_point;
      const char escaped[6] = {'\\', 'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF],
                               kHex[c & 0xF]};
      out.append(escaped, sizeof escaped);
    } else {
      out.append(text, i, next.length);
    }
    start = i + next.length;
  }
  out.append(text, start, text.size() - start);
}

}  // namespace kerf::text
