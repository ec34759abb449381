// One JSON Lines record at a time, appended to the output text.
//
// Strings are handed to the JSON text as well-formed UTF-8 only, names that
// are not being repaired first, and escaped where JSON requires it (a quote,
// a backslash, every character below U+0020), where a terminal would take
// a character for a command (DEL and the C1 controls U+0080..U+009F), and
// where a character can't be seen or changes how the rest reads (the format
// controls, U+2028 and U+2029, which many line readers take for line breaks,
// and the others of text::is_hidden_character), so every line stays one
// valid JSON record, and harmless on a screen, whatever the examined files
// hold. Times become ISO 8601 texts or null, serial numbers
// and hashes eight upper-case hex digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kerf {

// Whether a FILETIME is shown as a time in the JSON layouts. It is not (and
// shows as null) when it is 0, in the first second of 1970 (an unset Unix
// time), or outside the UTC years 1900 to 3000.
bool has_json_time(std::uint64_t filetime);

// The text of a FILETIME in the JSON layouts ("2016-01-11T22:08:20.9851234Z"),
// appended to `out`; nothing for a stamp without one.
void append_json_time(std::string& out, std::uint64_t filetime);

// Appends `text`, which must be well-formed UTF-8, as a JSON string.
void append_json_string(std::string& out, std::string_view text);

class JsonLineWriter {
 public:
  // Records are appended to `out`.
  explicit JsonLineWriter(std::string& out) : m_out(out) {}

  // The layouts' records have a fixed shape, written in code and checked
  // whole by the tests; the writer only puts the commas and colons in.
  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }

  // A member name: one of the layout's own fixed names.
  void key(std::string_view name);
  // A string, repaired to well-formed UTF-8 where needed.
  void text(std::string_view value);
  // null for an empty text.
  void text_or_null(std::string_view value);
  // The member `name` with the text `value`, only when `value` is not empty.
  void text_member_if_given(std::string_view name, std::string_view value);
  void number(std::uint64_t value);
  void optional_number(std::optional<std::uint64_t> value);
  void optional_boolean(std::optional<bool> value);
  void null();
  // ISO 8601 UTC, or null (see has_json_time).
  void time(std::uint64_t filetime);
  // Eight upper-case hex digits: "0012ABCD".
  void hex32(std::uint32_t value);

  // "store" and "store_created": the shadow-copy store a copy of a file
  // came from and when it was made; both null for the live volume or a
  // loose file.
  void store_members(std::optional<std::uint32_t> store, std::uint64_t created);

  // Ends the record with a line end, ready for the next one.
  void end_line() {
    m_out.push_back('\n');
    m_comma = false;
  }

 private:
  // The comma that separates a member or element from the one before it.
  void before_value() {
    if (m_comma) m_out.push_back(',');
  }
  void after_value() { m_comma = true; }
  void open(char bracket) {
    before_value();
    m_out.push_back(bracket);
    m_comma = false;
  }
  void close(char bracket) {
    m_out.push_back(bracket);
    m_comma = true;
  }

  std::string& m_out;
  bool m_comma = false;  // the next member or element follows another
  std::string m_scratch;  // a repaired name
};

}  // namespace kerf
