#include "lib/text/ascii.h"

#include <algorithm>

namespace kerf::text {

std::string& to_lower(std::string& text) {
  for (char& c : text) c = lower_ascii(c);
  return text;
}

std::string lowered(std::string_view text) {
  std::string copy(text);
  to_lower(copy);
  return copy;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower_ascii(x) == lower_ascii(y);
         });
}

std::string_view trimmed(std::string_view text) noexcept {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

void strip_line_end(std::string& text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
}

}  // namespace kerf::text
