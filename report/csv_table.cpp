#include "report/csv_table.h"

#include <algorithm>
#include <string_view>

#include "lib/text/escape.h"
#include "lib/text/line_breaks.h"
#include "lib/text/numbers.h"
#include "lib/text/path_name.h"
#include "report/file_facts.h"
#include "report/report_text.h"

namespace kerf {

namespace {

constexpr unsigned kFileNameWidth = 42;

}  // namespace

CsvTableRenderer::CsvTableRenderer(const ReportSettings& settings)
    : m_settings(settings),
      m_format(settings.date_pattern, settings.time_pattern),
      m_fill(!settings.no_whitespace && !is_blank_separator(settings.separator)),
      m_pad(settings.pad_fields && !is_blank_separator(settings.separator)) {
  const auto date_width = static_cast<unsigned>(settings.date_pattern.size());
  const auto time_width = static_cast<unsigned>(settings.time_pattern.size());
  const unsigned date_time_width = date_width + time_width + 1;
  const auto add = [&](std::string name, unsigned width, bool time_part = false) {
    m_columns.push_back(Column{std::move(name), m_fill ? width : 0, time_part});
  };

  add("prefetch file name", kFileNameWidth);  // set again by the first file written
  add("app name", 30);
  add("times ran", 9);
  if (settings.pair_datetime) {
    for (const char* name : {"last run [UTC]", "modify date [UTC]", "access date [UTC]", "changed date [UTC]"}) {
      add(name, date_time_width);
    }
  } else {
    for (const char* name : {"last run", "mdate", "adate", "cdate"}) {
      add(name, date_width);
      add("time-UTC", time_width, true);
    }
  }
  add("path/appname", 90);
  if (settings.verbose && settings.no_whitespace) {
    for (const char* name : {"Num Vols", "volume(s)", "volume serial(s)", "volume date/time(s) (UTC)",
                             "Num modules", "Module list"}) {
      add(name, 0);
    }
  }
  add("previous dates run", date_time_width);
  if (!settings.username.empty()) add("user acct", 9);
  if (!settings.hostname.empty()) add("host name", 9);
  if (settings.verify) {
    add("hash", 8);
    add("name hash", 9);
    add("hash check", 10);
    add("verified path", 90);
  }
}

// With -pf_path the first column holds the whole path: its width grows with
// the directory part of the first file's path.
unsigned CsvTableRenderer::first_column_width(const InputFile& input) const {
  if (!m_fill) return 0;
  if (!m_settings.show_prefetch_path) return kFileNameWidth;
  const std::size_t slash = text::last_path_separator(input.path);
  return slash == std::string::npos ? kFileNameWidth : static_cast<unsigned>(slash + 43);
}

// Ends the field written to `line` from `start` on: quoted when `always` or
// when it needs quotes, then blank-filled to `width` (`lead` blanks before a
// time not counted).
void CsvTableRenderer::finish_field(std::string& line, std::size_t start, unsigned width, bool always,
                                    std::size_t lead) const {
  quote_field(line, start, m_settings.separator, always);
  const std::size_t written = line.size() - start - lead;
  if (written < width) line.append(width - written, ' ');
}

// A text field: the forbidden separator character replaced and line breaks
// marked, control characters escaped, then quoted (always with
// -enable_quoted_csv_fields, otherwise when it holds a quote or the
// separator) and blank-filled.
void CsvTableRenderer::append_text(std::string& line, std::string_view text, unsigned width) const {
  std::string cell;
  const char forbidden = m_settings.forbidden_char;
  const bool replace = forbidden != 0 && m_settings.forbidden_substitute != 0 &&
                       text.find(forbidden) != std::string_view::npos;
  const bool mark = text.find_first_of("\r\n") != std::string_view::npos;
  // Names nearly never need either change; only those that do are copied.
  if (replace || mark) {
    cell.assign(text);
    if (replace) std::replace(cell.begin(), cell.end(), forbidden, m_settings.forbidden_substitute);
    if (mark) text::mark_line_breaks(cell);
    text = cell;
  }
  const std::size_t start = line.size();
  text::append_escaped(line, text);
  finish_field(line, start, width, m_settings.quoted_fields);
}

void CsvTableRenderer::append_number(std::string& line, std::uint64_t value, unsigned width) const {
  const std::size_t start = line.size();
  text::append_decimal(line, value, width, ' ');
  finish_field(line, start, 0, false);
}

void CsvTableRenderer::append_date_time(std::string& line, std::uint64_t filetime, std::size_t column) const {
  std::string date;
  std::string clock;
  const time::Instant instant = time::Instant::from_filetime(filetime);
  if (instant.is_valid()) {
    m_format.append_date(date, instant);
    m_format.append_time(clock, instant);
  } else if (m_fill) {
    // A time that can't be shown leaves its fields blank.
    date.push_back(' ');
    clock.push_back(' ');
  }
  // A date or time that holds the separator is quoted like any other field,
  // the blank before a time inside the quotes.
  std::size_t start = line.size();
  if (m_settings.pair_datetime) {
    const bool pad = m_fill && m_pad;
    if (pad) line.push_back(' ');
    line.append(date).append(1, ' ').append(clock);
    finish_field(line, start, m_columns[column].width, false, pad ? 1 : 0);
    return;
  }
  line.append(date);
  finish_field(line, start, m_columns[column].width, false);
  line.append(m_settings.separator);
  start = line.size();
  if (m_pad) line.push_back(' ');
  line.append(clock);
  finish_field(line, start, m_columns[column + 1].width, false, m_pad ? 1 : 0);
}

void CsvTableRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  std::string& line = file.text;
  line.reserve(1024);
  const std::string& separator = m_settings.separator;
  const std::size_t date_columns = m_settings.pair_datetime ? 1 : 2;

  // The first cell is filled to its width when the file is written out.
  append_text(line, m_settings.show_prefetch_path ? input.path : input.name, 0);
  file.new_facts<TableRowFacts>() = {line.size(), first_column_width(input)};
  line.append(separator);
  append_text(line, record.exe_name, m_columns[1].width);
  line.append(separator);
  append_number(line, record.run_count, m_columns[2].width);
  std::size_t column = 3;
  for (const std::uint64_t stamp : {record.last_run_time, record.source.modified, record.source.accessed,
                                    record.source.changed}) {
    line.append(separator);
    append_date_time(line, stamp, column);
    column += date_columns;
  }
  line.append(separator);
  append_text(line, record.app_path, m_columns[column++].width);

  std::string list;
  // A find cut short leaves what it could not read blank, not 0.
  const bool volumes_cut = record.cut && record.cut->volumes;
  const bool files_cut = record.cut && record.cut->loaded_files;
  if (m_settings.verbose && m_settings.no_whitespace) {
    line.append(separator);
    if (!volumes_cut) append_number(line, record.volumes.size(), 0);
    const auto volume_list = [&](auto append_volume) {
      list.clear();
      append_joined(list, record.volumes, append_volume);
      line.append(separator);
      append_text(line, list, 0);
    };
    volume_list([](std::string& out, const Volume& volume) { out += volume.device_path; });
    volume_list([](std::string& out, const Volume& volume) { append_volume_serial(out, volume.serial); });
    volume_list([&](std::string& out, const Volume& volume) { m_format.append_date_time(out, volume.created); });
    line.append(separator);
    if (!files_cut) append_number(line, record.loaded_files.size(), 0);
    list.clear();
    append_joined(list, record.loaded_files, [](std::string& out, std::string_view name) { out += name; });
    line.append(separator);
    append_text(line, list, 0);
    column += 6;
  }
  list.clear();
  append_joined(list, record.previous_run_times,
                [&](std::string& out, std::uint64_t time) { m_format.append_date_time(out, time); });
  line.append(separator);
  append_text(line, list, m_columns[column++].width);
  if (!m_settings.username.empty()) {
    line.append(separator);
    append_text(line, m_settings.username, m_columns[column++].width);
  }
  if (!m_settings.hostname.empty()) {
    line.append(separator);
    append_text(line, m_settings.hostname, m_columns[column++].width);
  }
  if (m_settings.verify) append_hash_cells(line, input, record, column);
  line.push_back('\n');
}

// The stored hash, the hash in the file's name (empty when it has none),
// the verdict and the path that proves the hash (empty when none does).
void CsvTableRenderer::append_hash_cells(std::string& line, const InputFile& input, const PrefetchRecord& record,
                                         std::size_t column) const {
  const std::string& separator = m_settings.separator;
  std::string hex;
  text::append_hex(hex, record.stored_hash, 8, true);
  line.append(separator);
  append_text(line, hex, m_columns[column++].width);
  hex.clear();
  if (const std::optional<std::uint32_t> name_hash = name_hash_match(input, record).name_hash) {
    text::append_hex(hex, *name_hash, 8, true);
  }
  line.append(separator);
  append_text(line, hex, m_columns[column++].width);
  const HashCheck& check = record.hash_check;
  line.append(separator);
  append_text(line, check.verified ? "verified" : "unverified", m_columns[column++].width);
  line.append(separator);
  append_text(line, check.verified ? std::string_view(check.device_path) : std::string_view(),
              m_columns[column].width);
}

void CsvTableRenderer::append_header(std::string& out) const {
  for (std::size_t i = 0; i < m_columns.size(); ++i) {
    const Column& column = m_columns[i];
    const std::size_t start = out.size();
    const bool pad = column.time_part && m_pad;
    if (pad) out.push_back(' ');
    out.append(column.name);
    finish_field(out, start, i == 0 ? m_first_column_width : column.width, false, pad ? 1 : 0);
    if (i + 1 < m_columns.size()) out.append(m_settings.separator);
  }
  out.push_back('\n');
}

void CsvTableRenderer::emit(const RenderedFile& file, std::string& out) {
  const TableRowFacts& row = file.facts<TableRowFacts>();
  if (m_header_pending) {
    m_header_pending = false;
    m_first_column_width = row.first_column_width;
    append_header(out);
  }
  const std::string_view text = file.text;
  out.append(text.substr(0, row.first_cell_end));
  if (row.first_cell_end < m_first_column_width) out.append(m_first_column_width - row.first_cell_end, ' ');
  out.append(text.substr(row.first_cell_end));
}

}  // namespace kerf
