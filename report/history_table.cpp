// The table of a history: one row per Prefetch file, in the delimited
// layouts' separator and quoting, the earlier run times joined in one cell
// as the file table's previous runs are.
#include <algorithm>
#include <span>

#include "lib/text/escape.h"
#include "lib/text/line_breaks.h"
#include "lib/text/numbers.h"
#include "report/history_layouts.h"
#include "report/report_text.h"

namespace kerf {

HistoryTable::HistoryTable(const ReportSettings& settings)
    : m_settings(settings), m_format(settings.date_pattern, settings.time_pattern) {
  m_columns = {"prefetch file name", "app name", "hash", "copies", "run counts"};
  if (settings.pair_datetime) {
    m_columns.emplace_back("last run [UTC]");
  } else {
    m_columns.emplace_back("last run");
    m_columns.emplace_back("time-UTC");
  }
  for (const char* name : {"earlier runs", "count went down", "runs beyond eight", "last copy deleted"}) {
    m_columns.emplace_back(name);
  }
  if (!settings.username.empty()) m_columns.emplace_back("user acct");
  if (!settings.hostname.empty()) m_columns.emplace_back("host name");
}

// As the file table writes a text cell: the separator's character replaced,
// line breaks marked, control characters escaped, quoted where needed.
void HistoryTable::append_text(std::string& line, std::string_view text) const {
  std::string cell(text);
  const char forbidden = m_settings.forbidden_char;
  if (forbidden != 0 && m_settings.forbidden_substitute != 0) {
    std::replace(cell.begin(), cell.end(), forbidden, m_settings.forbidden_substitute);
  }
  if (cell.find_first_of("\r\n") != std::string::npos) text::mark_line_breaks(cell);
  const std::size_t start = line.size();
  text::append_escaped(line, cell);
  quote_field(line, start, m_settings.separator, m_settings.quoted_fields);
}

void HistoryTable::append_date_time(std::string& line, std::uint64_t filetime) const {
  const time::Instant instant = time::Instant::from_filetime(filetime);
  std::string date;
  std::string clock;
  if (instant.is_valid()) {
    m_format.append_date(date, instant);
    m_format.append_time(clock, instant);
  }
  const bool pad = m_settings.pad_fields && !is_blank_separator(m_settings.separator) && instant.is_valid();
  std::size_t start = line.size();
  if (m_settings.pair_datetime) {
    if (pad) line.push_back(' ');
    if (instant.is_valid()) line.append(date).append(1, ' ').append(clock);
    quote_field(line, start, m_settings.separator, false);
    return;
  }
  line.append(date);
  quote_field(line, start, m_settings.separator, false);
  line.append(m_settings.separator);
  start = line.size();
  if (pad) line.push_back(' ');
  line.append(clock);
  quote_field(line, start, m_settings.separator, false);
}

void HistoryTable::append_header(std::string& out) const {
  for (std::size_t i = 0; i < m_columns.size(); ++i) {
    if (i != 0) out += m_settings.separator;
    const std::size_t start = out.size();
    out += m_columns[i];
    quote_field(out, start, m_settings.separator, false);
  }
  out.push_back('\n');
}

void HistoryTable::append_row(std::string& out, const HistoryRecord& record) const {
  const std::string& separator = m_settings.separator;
  std::string cell;
  append_text(out, record.name);
  out += separator;
  append_text(out, record.executable);
  out += separator;
  text::append_hex(cell, record.hash, 8, true);
  append_text(out, cell);
  out += separator;
  cell.clear();
  text::append_decimal(cell, record.copies.size());
  append_text(out, cell);
  out += separator;
  cell.clear();
  append_joined(cell, record.copies, [](std::string& to, const HistoryCopy& copy) {
    text::append_decimal(to, copy.run_count);
  });
  append_text(out, cell);
  out += separator;
  append_date_time(out, record.run_times.empty() ? 0 : record.run_times.front().time);
  out += separator;
  cell.clear();
  if (record.run_times.size() > 1) {
    append_joined(cell, std::span(record.run_times).subspan(1),
                  [&](std::string& to, const HistoryTime& time) { m_format.append_date_time(to, time.time); });
  }
  append_text(out, cell);
  for (const bool flag : {record.count_went_down, record.runs_beyond_eight, record.last_copy_deleted}) {
    out += separator;
    append_text(out, flag ? "yes" : "no");
  }
  if (!m_settings.username.empty()) {
    out += separator;
    append_text(out, m_settings.username);
  }
  if (!m_settings.hostname.empty()) {
    out += separator;
    append_text(out, m_settings.hostname);
  }
  out.push_back('\n');
}

}  // namespace kerf
