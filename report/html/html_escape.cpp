#include "report/html/html_escape.h"

#include <array>

#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "lib/text/utf8.h"

namespace kerf {

namespace {

// Bytes that may need a second look once a name has been made safe: the
// five characters HTML gives a meaning, and the lead bytes of the UTF-8
// sequences that can hold a noncharacter (U+FDD0..U+FDEF, and the last two
// code points of every plane), which HTML counts as errors in a page.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (const unsigned char c : {'&', '<', '>', '"', '\''}) special[c] = true;
  for (unsigned lead = 0xEF; lead <= 0xF4; ++lead) special[lead] = true;
  return special;
}();

std::size_t find_special(std::string_view text, std::size_t from) noexcept {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (kSpecial[static_cast<unsigned char>(text[i])]) return i;
  }
  return std::string_view::npos;
}

std::string_view reference_for(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return "&#39;";
  }
}

bool is_noncharacter(char32_t c) { return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; }

}  // namespace

void append_html_text(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  text::append_escaped(out, text);
  // Names nearly never need more; only those that do are copied.
  const std::size_t first = find_special(out, start);
  if (first == std::string_view::npos) return;
  const std::string tail = out.substr(first);
  out.resize(first);
  std::size_t done = 0;
  for (std::size_t at = find_special(tail, 0); at != std::string_view::npos; at = find_special(tail, done)) {
    out.append(tail, done, at - done);
    if (static_cast<unsigned char>(tail[at]) < 0x80) {
      out += reference_for(tail[at]);
      done = at + 1;
      continue;
    }
    // Made safe above, the text is well-formed UTF-8.
    const text::Utf8Char next = text::decode_utf8_char(std::string_view(tail).substr(at));
    if (is_noncharacter(next.code_point)) {
      const bool plane0 = next.code_point <= 0xFFFF;
      out += plane0 ? "\\u" : "\\U";
      text::append_hex(out, next.code_point, plane0 ? 4 : 8);
    } else {
      out.append(tail, at, next.length);
    }
    done = at + next.length;
  }
  out.append(tail, done, std::string::npos);
}

}  // namespace kerf
