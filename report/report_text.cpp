#include "report/report_text.h"

#include "lib/text/numbers.h"

namespace kerf {

void append_volume_serial(std::string& out, std::uint32_t serial) {
  text::append_hex(out, serial >> 16, 4);
  out.push_back('-');
  text::append_hex(out, serial & 0xFFFFu, 4);
}

void append_quoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

bool needs_quotes(std::string_view text, std::string_view separator) noexcept {
  return text.find('"') != std::string_view::npos ||
         (!separator.empty() && text.find(separator) != std::string_view::npos);
}

void quote_field(std::string& line, std::size_t start, std::string_view separator, bool always) {
  if (!always && !needs_quotes(std::string_view(line).substr(start), separator)) return;
  const std::string field = line.substr(start);
  line.resize(start);
  append_quoted(line, field);
}

bool is_blank_separator(std::string_view separator) noexcept {
  return !separator.empty() && separator.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace kerf
