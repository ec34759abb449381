#include "report/json_writer.h"

// RapidJSON finds the end of each run of characters that need no escape 16
// bytes at a time when its writer writes to its own string buffer; x86-64
// always has the SSE2 instructions this takes.
#if defined(__SSE2__)
#define RAPIDJSON_SSE2
#endif
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdexcept>

#include "lib/text/numbers.h"
#include "lib/text/utf8_repair.h"
#include "lib/time/iso8601.h"

namespace kerf {

namespace {

constexpr std::uint16_t kLastYear = 3000;

// The year limit is checked here as well: an instant after 3000 counts as
// valid in time zones where it is still 3000, and the JSON layouts must not
// depend on the machine's zone.
bool shown(const time::Instant& instant) { return instant.is_valid() && instant.calendar().year <= kLastYear; }

rapidjson::SizeType json_size(std::string_view text) {
  // Names come from files of at most 16 MiB and from the command line.
  return static_cast<rapidjson::SizeType>(text.size());
}

}  // namespace

bool has_json_time(std::uint64_t filetime) { return shown(time::Instant::from_filetime(filetime)); }

void append_json_time(std::string& out, std::uint64_t filetime) {
  const time::Instant instant = time::Instant::from_filetime(filetime);
  if (shown(instant)) time::append_iso8601(out, instant);
}

struct JsonLineWriter::Writer {
  explicit Writer(std::size_t expected_size) : buffer(nullptr, expected_size), json(buffer) {}

  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> json;
};

JsonLineWriter::JsonLineWriter(std::string& out, std::size_t expected_size)
    : m_out(out), m_writer(std::make_unique<Writer>(expected_size)) {}

JsonLineWriter::~JsonLineWriter() = default;

void JsonLineWriter::begin_object() { m_writer->json.StartObject(); }
void JsonLineWriter::end_object() { m_writer->json.EndObject(); }
void JsonLineWriter::begin_array() { m_writer->json.StartArray(); }
void JsonLineWriter::end_array() { m_writer->json.EndArray(); }
void JsonLineWriter::number(std::uint64_t value) { m_writer->json.Uint64(value); }
void JsonLineWriter::null() { m_writer->json.Null(); }

void JsonLineWriter::key(std::string_view name) { m_writer->json.Key(name.data(), json_size(name)); }

void JsonLineWriter::text(std::string_view value) {
  if (text::is_ascii(value)) {
    m_writer->json.String(value.data(), json_size(value));
    return;
  }
  m_scratch.clear();
  text::append_repaired_utf8(m_scratch, value);
  m_writer->json.String(m_scratch.data(), json_size(m_scratch));
}

void JsonLineWriter::text_or_null(std::string_view value) {
  if (value.empty()) {
    null();
  } else {
    text(value);
  }
}

void JsonLineWriter::optional_number(std::optional<std::uint64_t> value) {
  if (value) {
    number(*value);
  } else {
    null();
  }
}

void JsonLineWriter::optional_boolean(std::optional<bool> value) {
  if (value) {
    m_writer->json.Bool(*value);
  } else {
    null();
  }
}

void JsonLineWriter::time(std::uint64_t filetime) {
  m_scratch.clear();
  append_json_time(m_scratch, filetime);
  if (m_scratch.empty()) {
    null();
  } else {
    m_writer->json.String(m_scratch.data(), json_size(m_scratch));
  }
}

void JsonLineWriter::hex32(std::uint32_t value) {
  m_scratch.clear();
  text::append_hex(m_scratch, value, 8, true);
  m_writer->json.String(m_scratch.data(), json_size(m_scratch));
}

void JsonLineWriter::end_line() {
  Writer& writer = *m_writer;
  if (!writer.json.IsComplete()) throw std::logic_error("a JSON record was left incomplete");
  writer.buffer.Put('\n');
  m_out.append(writer.buffer.GetString(), writer.buffer.GetSize());
  writer.buffer.Clear();
  writer.json.Reset(writer.buffer);
}

}  // namespace kerf
