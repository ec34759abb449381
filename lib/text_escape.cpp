#include "lib/text_escape.h"

#include <algorithm>

namespace qv {

void append_escaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  // Names nearly never need it: copy whole runs between control bytes.
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!is_control_char(text[i])) continue;
    out.append(text, start, i - start);
    const auto byte = static_cast<unsigned char>(text[i]);
    const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    out.append(escaped, sizeof escaped);
    start = i + 1;
  }
  out.append(text, start, text.size() - start);
}

void escape_control_chars(std::string& text) {
  if (std::none_of(text.begin(), text.end(), is_control_char)) return;
  std::string escaped;
  escaped.reserve(text.size() + 12);
  append_escaped(escaped, text);
  text.swap(escaped);
}

}  // namespace qv
