// A small writer for delimited tables: the columns of a run, the cells of one
// row, and the rules by which each kind of cell is padded, cleaned and
// separated.
//
// The same code writes the compact comma-separated look and the blank-filled
// " | " table; which one comes out depends only on the run's settings
// (separator, blank filling, pairing of date and time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class cmd_params;

struct CsvColumn {
  enum class Kind : std::uint8_t { plain, time_part };

  Kind kind = Kind::plain;
  unsigned width = 0;  // blank-filled width; 0 when no filling applies
  std::string name;
};

struct CsvCell {
  enum class Kind : std::uint8_t {
    text,
    number,
    date_time_split,   // date here, time in the next cell
    date_time_paired,  // date and time in this cell
    empty,             // the second cell of a split date-time
  };

  // Cell flag: the text is enclosed in double quotes.
  static constexpr std::uint32_t kQuoted = 0x1;

  Kind kind = Kind::empty;
  std::uint32_t flags = 0;
  std::string text;         // text cells; already quoted when quoting applies
  std::uint64_t value = 0;  // number cells; the FILETIME of date-time cells
};

struct CsvRow {
  CsvRow(std::size_t cell_count, std::uint32_t row_flags)
      : cells(cell_count), flags(row_flags) {}

  std::vector<CsvCell> cells;
  std::uint32_t flags = 0;  // or-ed into every cell set
};

// The setters return how many cells they used: 1, or 2 for a split
// date-time. An index outside the row uses 1 and changes nothing.
//
// A quoted text is stored between double quotes with each quote inside it
// doubled, so that a name can't end the field early.
std::size_t set_text_cell(CsvRow& row, std::size_t index, std::string_view text,
                          std::uint32_t flags);
std::size_t set_stream_cell(CsvRow& row, std::size_t index, const std::ostringstream& text,
                            std::uint32_t flags);
// `kind` is number, date_time_split or date_time_paired. A split value makes
// the next cell its empty second half; at the last index it is stored as a
// paired value, since there is no column for its time.
std::size_t set_number_cell(CsvRow& row, std::size_t index, std::uint64_t value,
                            CsvCell::Kind kind, std::uint32_t flags);

// Writes the header line from `columns` and clears `header_pending`.
void write_csv_header(std::ostream& out, const std::vector<CsvColumn>& columns,
                      const cmd_params& settings, bool& header_pending);

// Writes one row as one line. Cell i takes its width from column i (0 when
// there are fewer columns than cells). In text cells the forbidden separator
// character is replaced, line breaks are marked (CSV layout) and control
// characters are escaped.
void write_csv_row(std::ostream& out, const CsvRow& row, const std::vector<CsvColumn>& columns,
                   const cmd_params& settings);

}  // namespace qv
