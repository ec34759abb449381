#include "report/json_writer.h"

#include <stdexcept>

#include "lib/text/numbers.h"
#include "lib/text/utf8_repair.h"
#include "lib/time/iso8601.h"

namespace kerf {

namespace {

constexpr std::uint16_t kLastYear = 3000;

rapidjson::SizeType json_size(std::string_view text) {
  // Names come from files of at most 16 MiB and from the command line.
  return static_cast<rapidjson::SizeType>(text.size());
}

}  // namespace

namespace {

// The year limit is checked here as well: an instant after 3000 counts as
// valid in time zones where it is still 3000, and the JSON layouts must not
// depend on the machine's zone.
bool shown(const time::Instant& instant) { return instant.is_valid() && instant.calendar().year <= kLastYear; }

}  // namespace

bool has_json_time(std::uint64_t filetime) { return shown(time::Instant::from_filetime(filetime)); }

void append_json_time(std::string& out, std::uint64_t filetime) {
  const time::Instant instant = time::Instant::from_filetime(filetime);
  if (shown(instant)) time::append_iso8601(out, instant);
}

JsonLineWriter::JsonLineWriter(std::string& out) : m_out(out), m_sink(out), m_writer(m_sink) {}

void JsonLineWriter::key(std::string_view name) { m_writer.Key(name.data(), json_size(name)); }

void JsonLineWriter::text(std::string_view value) {
  if (text::is_ascii(value)) {
    m_writer.String(value.data(), json_size(value));
    return;
  }
  m_scratch.clear();
  text::append_repaired_utf8(m_scratch, value);
  m_writer.String(m_scratch.data(), json_size(m_scratch));
}

void JsonLineWriter::text_or_null(std::string_view value) {
  if (value.empty()) {
    null();
  } else {
    text(value);
  }
}

void JsonLineWriter::optional_boolean(std::optional<bool> value) {
  if (value) {
    boolean(*value);
  } else {
    null();
  }
}

void JsonLineWriter::optional_number(std::optional<std::uint64_t> value) {
  if (value) {
    number(*value);
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
    m_writer.String(m_scratch.data(), json_size(m_scratch));
  }
}

void JsonLineWriter::hex32(std::uint32_t value) {
  m_scratch.clear();
  text::append_hex(m_scratch, value, 8, true);
  m_writer.String(m_scratch.data(), json_size(m_scratch));
}

void JsonLineWriter::end_line() {
  if (!m_writer.IsComplete()) throw std::logic_error("a JSON record was left incomplete");
  m_out.push_back('\n');
  m_writer.Reset(m_sink);
}

}  // namespace kerf
