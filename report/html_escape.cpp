#include "report/html_escape.h"

#include <array>

#include "lib/text/escape.h"

namespace kerf {

namespace {

// The five characters HTML gives a meaning, looked up by byte: this runs
// over every name of every loaded file of a run.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (const unsigned char c : {'&', '<', '>', '"', '\''}) special[c] = true;
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

}  // namespace

void append_html_text(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  text::append_escaped(out, text);
  // Names nearly never hold one of the five; only those that do are copied.
  const std::size_t first = find_special(out, start);
  if (first == std::string_view::npos) return;
  const std::string tail = out.substr(first);
  out.resize(first);
  std::size_t done = 0;
  for (std::size_t special = find_special(tail, 0); special != std::string_view::npos;
       special = find_special(tail, done)) {
    out.append(tail, done, special - done);
    out.append(reference_for(tail[special]));
    done = special + 1;
  }
  out.append(tail, done, std::string::npos);
}

}  // namespace kerf
