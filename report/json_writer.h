// One JSON Lines record at a time, written with RapidJSON's streaming writer
// straight into the output text.
//
// The writer escapes what JSON requires (quote, backslash, every control
// character); this class hands it nothing but well-formed UTF-8, repairing
// names that are not, so every line stays valid JSON whatever the examined
// files hold. Times become ISO 8601 texts or null, serial numbers and hashes
// eight upper-case hex digits.
#pragma once

#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kerf {

// RapidJSON's output stream over a std::string.
class JsonStringSink {
 public:
  using Ch = char;
  explicit JsonStringSink(std::string& out) : m_out(&out) {}
  void Put(char c) { m_out->push_back(c); }
  void Flush() {}
  void reserve(std::size_t count) { m_out->reserve(m_out->size() + count); }

 private:
  std::string* m_out;
};

// Found by argument-dependent lookup: the writer asks for room once per
// string, not once per character.
inline void PutReserve(JsonStringSink& sink, std::size_t count) { sink.reserve(count); }

// Whether a FILETIME is shown as a time in the JSON layouts. It is not (and
// shows as null) when it is 0, in the first second of 1970 (an unset Unix
// time), or outside the UTC years 1900 to 3000.
bool has_json_time(std::uint64_t filetime);

// The text of a FILETIME in the JSON layouts ("2016-01-11T22:08:20.9851234Z"),
// appended to `out`; nothing for a stamp without one.
void append_json_time(std::string& out, std::uint64_t filetime);

class JsonLineWriter {
 public:
  // Lines are appended to `out`.
  explicit JsonLineWriter(std::string& out);

  void begin_object() { m_writer.StartObject(); }
  void end_object() { m_writer.EndObject(); }
  void begin_array() { m_writer.StartArray(); }
  void end_array() { m_writer.EndArray(); }

  // A member name: one of the layout's own fixed ASCII names.
  void key(std::string_view name);
  // A string, repaired to well-formed UTF-8 where needed.
  void text(std::string_view value);
  // null for an empty text.
  void text_or_null(std::string_view value);
  void number(std::uint64_t value) { m_writer.Uint64(value); }
  void optional_number(std::optional<std::uint64_t> value);
  void boolean(bool value) { m_writer.Bool(value); }
  void null() { m_writer.Null(); }
  void optional_boolean(std::optional<bool> value);
  // ISO 8601 UTC, or null (see has_json_time).
  void time(std::uint64_t filetime);
  // Eight upper-case hex digits: "0012ABCD".
  void hex32(std::uint32_t value);

  // Ends the record with a line end, ready for the next one. Throws
  // std::logic_error when the record is not one complete value, so that a
  // half-written line never reaches the output.
  void end_line();

 private:
  std::string& m_out;
  JsonStringSink m_sink;
  rapidjson::Writer<JsonStringSink> m_writer;
  std::string m_scratch;  // a repaired name, a time's text
};

}  // namespace kerf
