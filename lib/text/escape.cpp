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

// The characters of is_hidden_character, as sorted ranges of code points
// (Unicode 15).
struct CodeRange {
  char32_t first;
  char32_t last;
};
constexpr CodeRange kHidden[] = {
    {0x0080, 0x009F},    // C1 controls
    {0x00AD, 0x00AD},    // soft hyphen
    {0x034F, 0x034F},    // combining grapheme joiner
    {0x0600, 0x0605},    // Arabic number marks
    {0x061C, 0x061C},    // Arabic letter mark
    {0x06DD, 0x06DD},    // Arabic end of ayah
    {0x070F, 0x070F},    // Syriac abbreviation mark
    {0x0890, 0x0891},    // Arabic pound and piastre marks above
    {0x08E2, 0x08E2},    // Arabic disputed end of ayah
    {0x115F, 0x1160},    // Hangul fillers
    {0x17B4, 0x17B5},    // Khmer inherent vowels
    {0x180B, 0x180F},    // Mongolian variation selectors and vowel separator
    {0x200B, 0x200F},    // zero-width space, joiners, direction marks
    {0x2028, 0x202E},    // line and paragraph separators, embeddings, overrides
    {0x2060, 0x206F},    // word joiner, invisible operators, isolates
    {0x3164, 0x3164},    // Hangul filler
    {0xFE00, 0xFE0F},    // variation selectors
    {0xFEFF, 0xFEFF},    // zero-width no-break space (byte order mark)
    {0xFFA0, 0xFFA0},    // halfwidth Hangul filler
    {0xFFF0, 0xFFFB},    // reserved ignorables, interlinear annotation
    {0x110BD, 0x110BD},  // Kaithi number sign
    {0x110CD, 0x110CD},  // Kaithi number sign above
    {0x13430, 0x1343F},  // Egyptian hieroglyph format controls
    {0x1BCA0, 0x1BCA3},  // shorthand format controls
    {0x1D173, 0x1D17A},  // musical symbol format controls
    {0xE0000, 0xE0FFF},  // tags, variation selectors supplement
};

}  // namespace

bool is_hidden_character(char32_t c) noexcept {
  if (c < 0x80) return false;
  for (const CodeRange& range : kHidden) {
    if (c <= range.last) return c >= range.first;
  }
  return false;
}

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
    } else if (is_hidden_character(next.code_point)) {
      const char32_t c = next.code_point;
      const int digits = c > 0xFFFF ? 8 : 4;
      out.push_back('\\');
      out.push_back(c > 0xFFFF ? 'U' : 'u');
      for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
    } else {
      out.append(text, i, next.length);
    }
    start = i + next.length;
  }
  out.append(text, start, text.size() - start);
}

std::string message_naming(std::string_view before, std::string_view name, std::string_view after) {
  std::string message(before);
  append_escaped(message, name);
  message += after;
  return message;
}

}  // namespace kerf::text
