// The words of the command line and what the option parser does with them.
//
// Options are words compared without regard to case. The parser takes every
// option it recognises out of the list, together with its value, so that
// what is left decides the input mode: normally the one input file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kerf {

class ArgList {
 public:
  ArgList() = default;
  // Copies an argument vector; an absent entry becomes an empty string.
  ArgList(int argc, const char* const* argv);
  explicit ArgList(std::vector<std::string> words) : m_words(std::move(words)) {}

  const std::vector<std::string>& words() const noexcept { return m_words; }
  std::size_t size() const noexcept { return m_words.size(); }
  const std::string& operator[](std::size_t i) const { return m_words[i]; }

  // True when some word equals `name`; the first such one is taken out.
  bool take_flag(std::string_view name);
  // When the first word equal to `name` has a word after it, takes both out
  // and gives that word. An option standing last keeps its place and gives
  // nothing: it then counts as a word no option took.
  std::optional<std::string> take_value(std::string_view name);
  // True when some word from position `start` on equals `name`.
  bool has(std::string_view name, std::size_t start = 0) const;
  // Like take_value from position `start`, without taking anything out.
  std::optional<std::string> peek_value(std::string_view name, std::size_t start = 0) const;

  // All words joined by single spaces; a word holding a space is enclosed
  // in `quote` characters.
  std::string joined(char quote = '"') const;

 private:
  std::size_t find(std::string_view name, std::size_t start) const;

  std::vector<std::string> m_words;
};

// A numeric option value: the whole text (white space around it aside) must
// be decimal digits, or "0x" and hexadecimal digits, and fit in 64 bits.
// Nothing otherwise ("", "-1", "12abc").
std::optional<std::uint64_t> parse_whole_number(std::string_view text);

}  // namespace kerf
