#include "lib/csv_table.h"

#include "lib/cmd_params.h"
#include "lib/date_time_format_desc.h"
#include "lib/number_text.h"
#include "lib/qv_time.h"
#include "lib/string_ops.h"
#include "lib/text_escape.h"
#include "lib/text_markers.h"

namespace qv {

namespace {

void store_quoted(std::string& stored, std::string_view text) {
  stored.clear();
  stored.reserve(text.size() + 2);
  stored.push_back('"');
  for (const char c : text) {
    if (c == '"') stored.push_back('"');
    stored.push_back(c);
  }
  stored.push_back('"');
}

void append_filled(std::string& line, std::string_view text, std::size_t width) {
  line.append(text);
  if (text.size() < width) line.append(width - text.size(), ' ');
}

unsigned column_width(const std::vector<CsvColumn>& columns, std::size_t index) {
  return index < columns.size() ? columns[index].width : 0;
}

// Per-row scratch space, so that a row's date-time cells share buffers.
struct RowScratch {
  std::string text;
  std::string date;
  std::string time_text;
};

void append_text_cell(std::string& line, const CsvCell& cell, unsigned width,
                      const cmd_params& settings, RowScratch& scratch) {
  std::string_view text = cell.text;
  const bool replace = settings.m_sep_char != 0 && settings.m_sep_subst != 0 &&
                       text.find(settings.m_sep_char) != std::string_view::npos;
  const bool mark = settings.m_out_csv && text.find_first_of("\r\n") != std::string_view::npos;
  // Names nearly never need either change; only those that do are copied.
  if (replace || mark) {
    scratch.text = cell.text;
    if (replace) replace_char(scratch.text, settings.m_sep_char, settings.m_sep_subst, false);
    if (mark) mark_line_breaks(scratch.text);
    text = scratch.text;
  }
  const std::size_t start = line.size();
  append_escaped(line, text);
  const std::size_t written = line.size() - start;
  if (!settings.m_no_whitespace && written < width) line.append(width - written, ' ');
}

// Date and time texts of a FILETIME cell; one blank each for a time that
// can't be shown, unless blanks are off.
void format_cell_time(const CsvCell& cell, const cmd_params& settings, RowScratch& scratch) {
  const time t(static_cast<std::int64_t>(cell.value), type_time::filetime);
  if (t.is_valid()) {
    format_with_descriptor(scratch.date, scratch.time_text, t, settings.m_date_time_desc);
    return;
  }
  scratch.date.clear();
  scratch.time_text.clear();
  if (!settings.m_no_whitespace) {
    scratch.date.push_back(' ');
    scratch.time_text.push_back(' ');
  }
}

}  // namespace

std::size_t set_text_cell(CsvRow& row, std::size_t index, std::string_view text,
                          std::uint32_t flags) {
  if (index >= row.cells.size()) return 1;
  CsvCell& cell = row.cells[index];
  cell.kind = CsvCell::Kind::text;
  cell.flags = row.flags | flags;
  // Every text is quoted, also one that opens like a JSON object ({"...):
  // the texts here are names taken from Prefetch files, and a hostile name
  // written unquoted would carry its commas into the next columns.
  if ((cell.flags & CsvCell::kQuoted) != 0) {
    store_quoted(cell.text, text);
  } else {
    cell.text.assign(text);
  }
  return 1;
}

std::size_t set_stream_cell(CsvRow& row, std::size_t index, const std::ostringstream& text,
                            std::uint32_t flags) {
  return set_text_cell(row, index, text.view(), flags);
}

std::size_t set_number_cell(CsvRow& row, std::size_t index, std::uint64_t value,
                            CsvCell::Kind kind, std::uint32_t flags) {
  if (index >= row.cells.size()) return 1;
  CsvCell& cell = row.cells[index];
  cell.flags = row.flags | flags;
  cell.value = value;
  cell.text.clear();
  if (kind == CsvCell::Kind::date_time_split) {
    if (index + 1 < row.cells.size()) {
      cell.kind = CsvCell::Kind::date_time_split;
      CsvCell& second = row.cells[index + 1];
      second = CsvCell{};
      second.kind = CsvCell::Kind::empty;
      second.flags = cell.flags;
      return 2;
    }
    cell.kind = CsvCell::Kind::date_time_paired;
    return 1;
  }
  cell.kind = kind == CsvCell::Kind::date_time_paired ? kind : CsvCell::Kind::number;
  return 1;
}

void write_csv_header(std::ostream& out, const std::vector<CsvColumn>& columns,
                      const cmd_params& settings, bool& header_pending) {
  header_pending = false;
  std::string line;
  line.reserve(512);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const CsvColumn& column = columns[i];
    if (column.kind == CsvColumn::Kind::time_part && settings.m_pad_fields) line.push_back(' ');
    append_filled(line, column.name, column.width);
    if (i + 1 < columns.size()) line.append(settings.m_csv_separator);
  }
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void write_csv_row(std::ostream& out, const CsvRow& row, const std::vector<CsvColumn>& columns,
                   const cmd_params& settings) {
  const bool fill = !settings.m_no_whitespace;
  RowScratch scratch;
  std::string line;
  line.reserve(1024);
  const std::size_t count = row.cells.size();
  for (std::size_t i = 0; i < count; ++i) {
    const CsvCell& cell = row.cells[i];
    const unsigned width = column_width(columns, i);
    switch (cell.kind) {
      case CsvCell::Kind::text:
        append_text_cell(line, cell, width, settings, scratch);
        break;
      case CsvCell::Kind::number:
        append_decimal(line, cell.value, fill ? width : 0, ' ');
        break;
      case CsvCell::Kind::date_time_split:
        format_cell_time(cell, settings, scratch);
        append_filled(line, scratch.date, fill ? width : 0);
        line.append(settings.m_csv_separator);
        ++i;  // the time goes into the next cell
        if (settings.m_pad_fields) line.push_back(' ');
        append_filled(line, scratch.time_text, fill ? column_width(columns, i) : 0);
        break;
      case CsvCell::Kind::date_time_paired: {
        format_cell_time(cell, settings, scratch);
        if (fill && settings.m_pad_fields) line.push_back(' ');
        const std::size_t start = line.size();
        line.append(scratch.date).append(1, ' ').append(scratch.time_text);
        const std::size_t written = line.size() - start;
        if (fill && written < width) line.append(width - written, ' ');
        break;
      }
      case CsvCell::Kind::empty:
        // A cell that no setter filled: an empty field, kept in line.
        if (fill) line.append(width, ' ');
        break;
    }
    if (i + 1 < count) line.append(settings.m_csv_separator);
  }
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

}  // namespace qv
