#include "report/html_escape.h"

#include <cstring>

#include "lib/text/escape.h"

namespace kerf {

namespace {

constexpr std::string_view kHtmlSpecial = "&<>\"'";

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
  std::size_t at = out.find_first_of(kHtmlSpecial, start);
  if (at == std::string::npos) return;
  const std::string tail = out.substr(at);
  out.resize(at);
  std::size_t done = 0;
  for (std::size_t special = tail.find_first_of(kHtmlSpecial); special != std::string::npos;
       special = tail.find_first_of(kHtmlSpecial, done)) {
    out.append(tail, done, special - done);
    out.append(reference_for(tail[special]));
    done = special + 1;
  }
  out.append(tail, done, std::string::npos);
}

}  // namespace kerf
