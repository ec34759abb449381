#include "lib/string_ops.h"

#include <algorithm>

namespace qv {

namespace {

constexpr char upper_ascii(char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool is_trim_space(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string& to_lower(std::string& text) {
  for (char& c : text) c = lower_ascii(c);
  return text;
}

bool equals_ignore_case(std::string& a, std::string& b) {
  if (a.size() != b.size()) return false;
  to_lower(a);
  to_lower(b);
  return a == b;
}

bool replace_first(std::string& text, std::string& needle, std::string_view replacement,
                   bool ignore_case) {
  std::size_t at = std::string::npos;
  if (ignore_case) {
    std::string folded = text;
    to_lower(folded);
    to_lower(needle);
    at = folded.find(needle);
  } else {
    at = text.find(needle);
  }
  if (at == std::string::npos) return false;
  text.replace(at, needle.size(), replacement);
  return true;
}

bool trim_whitespace(std::string& text) {
  const auto first = std::find_if_not(text.begin(), text.end(), is_trim_space);
  if (first == text.end()) {
    text.clear();
    return false;
  }
  const auto last = std::find_if_not(text.rbegin(), text.rend(), is_trim_space).base();
  text.erase(last, text.end());
  text.erase(text.begin(), first);
  return true;
}

std::size_t strip_line_end(std::string& text) {
  std::size_t removed = 0;
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
    text.pop_back();
    ++removed;
  }
  return removed;
}

void replace_char(std::string& text, char from, char to, bool ignore_case) {
  if (from == to) return;
  if (!ignore_case) {
    std::replace(text.begin(), text.end(), from, to);
    return;
  }
  const char lower = lower_ascii(from);
  const char upper = upper_ascii(from);
  for (char& c : text) {
    if (c == lower || c == upper) c = to;
  }
}

}  // namespace qv
