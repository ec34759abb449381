#include "report/json_writer.h"

#include <array>

#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "lib/text/utf8.h"
#include "lib/text/utf8_repair.h"
#include "lib/time/iso8601.h"

namespace kerf {

namespace {

constexpr std::uint16_t kLastYear = 3000;

// The year limit is checked here as well: an instant after 3000 counts as
// valid in time zones where it is still 3000, and the JSON layouts must not
// depend on the machine's zone.
bool shown(const time::Instant& instant) { return instant.is_valid() && instant.calendar().year <= kLastYear; }

// The bytes that can't be copied as they are: a quote, a backslash, the
// control bytes, DEL, and every byte from 0x80 up (which may start a C1
// control or another character no one can see).
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (unsigned byte = 0; byte < 256; ++byte) special[byte] = byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\';
  return special;
}();

// Position of the first special byte at or after `from`, or text.size().
// Paths hold a backslash every few characters, so the runs are short and a
// plain loop beats testing eight bytes at a time.
std::size_t find_special(std::string_view text, std::size_t from) noexcept {
  std::size_t i = from;
  while (i < text.size() && !kSpecial[static_cast<unsigned char>(text[i])]) ++i;
  return i;
}

// "\u" and four hex digits; a character above U+FFFF as its UTF-16 pair.
void append_unicode_escape(std::string& out, char32_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (code > 0xFFFF) {
    append_unicode_escape(out, 0xD800 + ((code - 0x10000) >> 10));
    append_unicode_escape(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
    return;
  }
  const char escaped[6] = {'\\', 'u', kHex[code >> 12], kHex[(code >> 8) & 0xF], kHex[(code >> 4) & 0xF],
                           kHex[code & 0xF]};
  out.append(escaped, sizeof escaped);
}

}  // namespace

bool has_json_time(std::uint64_t filetime) { return shown(time::Instant::from_filetime(filetime)); }

void append_json_time(std::string& out, std::uint64_t filetime) {
  const time::Instant instant = time::Instant::from_filetime(filetime);
  if (shown(instant)) time::append_iso8601(out, instant);
}

void append_json_string(std::string& out, std::string_view text) {
  out.push_back('"');
  std::size_t start = 0;
  for (std::size_t i = find_special(text, 0); i < text.size(); i = find_special(text, start)) {
    out.append(text, start, i - start);
    const auto byte = static_cast<unsigned char>(text[i]);
    start = i + 1;
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        if (byte < 0x80) {
          append_unicode_escape(out, byte);  // the other controls and DEL
          break;
        }
        // The text is well-formed UTF-8: a whole character starts here.
        const text::Utf8Char next = text::decode_utf8_char(text.substr(i));
        if (text::is_hidden_character(next.code_point)) {
          append_unicode_escape(out, next.code_point);
        } else {
          out.append(text, i, next.length);
        }
        start = i + next.length;
      }
    }
  }
  out.append(text, start, text.size() - start);
  out.push_back('"');
}

void JsonLineWriter::key(std::string_view name) {
  before_value();
  append_json_string(m_out, name);
  m_out.push_back(':');
  m_comma = false;
}

void JsonLineWriter::text(std::string_view value) {
  before_value();
  if (text::is_ascii(value)) {
    append_json_string(m_out, value);
  } else {
    m_scratch.clear();
    text::append_repaired_utf8(m_scratch, value);
    append_json_string(m_out, m_scratch);
  }
  after_value();
}

void JsonLineWriter::text_or_null(std::string_view value) {
  if (value.empty()) {
    null();
  } else {
    text(value);
  }
}

void JsonLineWriter::text_member_if_given(std::string_view name, std::string_view value) {
  if (value.empty()) return;
  key(name);
  text(value);
}

void JsonLineWriter::number(std::uint64_t value) {
  before_value();
  text::append_decimal(m_out, value);
  after_value();
}

void JsonLineWriter::optional_number(std::optional<std::uint64_t> value) {
  if (value) {
    number(*value);
  } else {
    null();
  }
}

void JsonLineWriter::store_members(std::optional<std::uint32_t> store, std::uint64_t created) {
  key("store");
  optional_number(store);
  key("store_created");
  time(store ? created : 0);
}

void JsonLineWriter::optional_boolean(std::optional<bool> value) {
  before_value();
  m_out += !value ? "null" : *value ? "true" : "false";
  after_value();
}

void JsonLineWriter::null() { optional_boolean(std::nullopt); }

void JsonLineWriter::time(std::uint64_t filetime) {
  const time::Instant instant = time::Instant::from_filetime(filetime);
  if (!shown(instant)) {
    null();
    return;
  }
  before_value();
  m_out.push_back('"');
  time::append_iso8601(m_out, instant);
  m_out.push_back('"');
  after_value();
}

void JsonLineWriter::hex32(std::uint32_t value) {
  before_value();
  m_out.push_back('"');
  text::append_hex(m_out, value, 8, true);
  m_out.push_back('"');
  after_value();
}

}  // namespace kerf
