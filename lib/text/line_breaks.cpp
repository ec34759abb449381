#include "lib/text/line_breaks.h"

#include <algorithm>
#include <cstddef>

namespace kerf::text {

void mark_line_breaks(std::string& text) {
  // One pass over the bytes (find_first_of would search the set per byte).
  const auto found =
      std::find_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
  if (found == text.end()) return;
  const auto first_break = static_cast<std::size_t>(found - text.begin());
  // A CR away from any LF is marked only in text that has no LF at all.
  const bool has_lf = text.find('\n', first_break) != std::string::npos;

  std::string marked;
  marked.reserve(text.size() + 16);
  marked.append(text, 0, first_break);
  const std::size_t size = text.size();
  for (std::size_t i = first_break; i < size; ++i) {
    const char c = text[i];
    const char next = i + 1 < size ? text[i + 1] : '\0';
    if (c == '\r') {
      if (next == '\n') {
        marked += "[CRLF]";
        ++i;
      } else if (has_lf) {
        marked += '\r';
      } else {
        marked += "[CR]";
      }
    } else if (c == '\n') {
      // A CR that is followed by an LF belongs to that LF's "[CRLF]".
      const bool cr_starts_pair = i + 2 < size && text[i + 2] == '\n';
      if (next == '\r' && !cr_starts_pair) {
        marked += "[LFCR]";
        ++i;
      } else {
        marked += "[LF]";
      }
    } else {
      marked += c;
    }
  }
  text.swap(marked);
}

}  // namespace kerf::text
