// One JSON Lines record at a time, appended to the output text.
//
// The JSON itself (quoting, the escapes JSON requires for a quote, a
// backslash and every control character, commas and colons) is written by
// RapidJSON's streaming writer. This class hands it nothing but well-formed
// UTF-8, repairing names that are not, so every line stays valid JSON
// whatever the examined files hold; times become ISO 8601 texts or null,
// serial numbers and hashes eight upper-case hex digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

class JsonLineWriter {
 public:
  // Records are appended to `out`; `expected_size` is a guess at the size of
  // one, so that its text rarely has to move while it grows.
  explicit JsonLineWriter(std::string& out, std::size_t expected_size = 4096);
  ~JsonLineWriter();
  JsonLineWriter(const JsonLineWriter&) = delete;
  JsonLineWriter& operator=(const JsonLineWriter&) = delete;

  void begin_object();
  void end_object();
  void begin_array();
  void end_array();

  // A member name: one of the layout's own fixed ASCII names.
  void key(std::string_view name);
  // A string, repaired to well-formed UTF-8 where needed.
  void text(std::string_view value);
  // null for an empty text.
  void text_or_null(std::string_view value);
  void number(std::uint64_t value);
  void optional_number(std::optional<std::uint64_t> value);
  void optional_boolean(std::optional<bool> value);
  void null();
  // ISO 8601 UTC, or null (see has_json_time).
  void time(std::uint64_t filetime);
  // Eight upper-case hex digits: "0012ABCD".
  void hex32(std::uint32_t value);

  // Ends the record with a line end and appends it to the output. Throws
  // std::logic_error when the record is not one complete value, so that a
  // half-written line never reaches the output.
  void end_line();

 private:
  struct Writer;
  std::string& m_out;
  std::unique_ptr<Writer> m_writer;
  std::string m_scratch;  // a repaired name, a time's text
};

}  // namespace kerf
