// Small texts shared by the report layouts: a volume serial number as
// "xxxx-xxxx", and lists joined by "; ".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kerf {

// The upper and the lower 16 bits as four lower-case hex digits each, joined
// by "-" (0x0012abcd gives "0012-abcd").
void append_volume_serial(std::string& out, std::uint32_t serial);

// A delimited field in double quotes, each quote inside doubled, so that a
// name can't end the field early.
void append_quoted(std::string& out, std::string_view text);

// Whether a field of an unquoted delimited layout must be quoted all the
// same: it holds a double quote (which would open a quoted field in every
// CSV reader) or the separator itself (which no substitute replaced).
bool needs_quotes(std::string_view text, std::string_view separator) noexcept;

// Quotes, in place, the field written to `line` from `start` on, when
// `always` or when it needs quotes. The field is judged as written (escaped,
// a blank before a time included), whatever it holds (a name, a date, a
// time or a number), so that every row reads back as its columns whatever
// the separator.
void quote_field(std::string& line, std::size_t start, std::string_view separator, bool always);

// Whether the separator is made only of blanks: blanks that fill cells or
// stand before a time would then read as separators, so neither is written.
bool is_blank_separator(std::string_view separator) noexcept;

// Calls append_item(out, item) for each item of `items`, with "; " between.
template <typename Range, typename AppendItem>
void append_joined(std::string& out, const Range& items, AppendItem append_item) {
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += "; ";
    first = false;
    append_item(out, item);
  }
}

}  // namespace kerf
