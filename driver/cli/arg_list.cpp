#include "driver/cli/arg_list.h"

#include "lib/text/ascii.h"

namespace kerf {

ArgList::ArgList(int argc, const char* const* argv) {
  m_words.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) m_words.emplace_back(argv[i] ? argv[i] : "");
}

std::size_t ArgList::find(std::string_view name, std::size_t start) const {
  for (std::size_t i = start; i < m_words.size(); ++i) {
    if (text::equals_ignoring_case(m_words[i], name)) return i;
  }
  return std::string::npos;
}

bool ArgList::take_flag(std::string_view name) {
  const std::size_t at = find(name, 0);
  if (at == std::string::npos) return false;
  m_words.erase(m_words.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

std::optional<std::string> ArgList::take_value(std::string_view name) {
  const std::size_t at = find(name, 0);
  if (at == std::string::npos || at + 1 >= m_words.size()) return std::nullopt;
  std::string value = std::move(m_words[at + 1]);
  m_words.erase(m_words.begin() + static_cast<std::ptrdiff_t>(at),
                m_words.begin() + static_cast<std::ptrdiff_t>(at + 2));
  return value;
}

bool ArgList::has(std::string_view name, std::size_t start) const { return find(name, start) != std::string::npos; }

std::optional<std::string> ArgList::peek_value(std::string_view name, std::size_t start) const {
  const std::size_t at = find(name, start);
  if (at == std::string::npos || at + 1 >= m_words.size()) return std::nullopt;
  return m_words[at + 1];
}

std::string ArgList::joined(char quote) const {
  std::string text;
  for (std::size_t i = 0; i < m_words.size(); ++i) {
    if (i > 0) text.push_back(' ');
    if (m_words[i].find(' ') != std::string::npos) {
      text.push_back(quote);
      text += m_words[i];
      text.push_back(quote);
    } else {
      text += m_words[i];
    }
  }
  return text;
}

std::optional<std::uint64_t> parse_whole_number(std::string_view text) {
  text = text::trimmed(text);
  const bool hex = text.size() > 2 && text[0] == '0' && text::lower_ascii(text[1]) == 'x';
  const std::string_view digits = hex ? text.substr(2) : text;
  const unsigned base = hex ? 16 : 10;
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = hex ? text::hex_digit_value(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0 || value > (UINT64_MAX - static_cast<unsigned>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
  }
  return value;
}

}  // namespace kerf
