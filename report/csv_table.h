// One delimited line per Prefetch file under a header line written once per
// run: the compact comma-separated look of -csv, or the blank-filled " | "
// table; with -verify, four hash columns after all the others. Which look
// comes out depends only on the settings (separator, blank filling, pairing
// of date and time).
#pragma once

#include <string>
#include <vector>

#include "lib/time/date_time_format.h"
#include "report/renderer.h"

namespace kerf {

class CsvTableRenderer : public Renderer {
 public:
  explicit CsvTableRenderer(const ReportSettings& settings);

  bool needs_hash_check() const override { return m_settings.verify; }
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;
  // The first file written fixes the width of the first column (with
  // -pf_path it follows that file's path) and brings the header line.
  void emit(const RenderedFile& file, std::string& out) override;

 private:
  struct Column {
    std::string name;
    unsigned width = 0;  // blank-filled width; 0 when no filling applies
    bool time_part = false;  // the time half of a split date and time
  };

  unsigned first_column_width(const InputFile& input) const;
  void finish_field(std::string& line, std::size_t start, unsigned width, bool always, std::size_t lead = 0) const;
  void append_text(std::string& line, std::string_view text, unsigned width) const;
  void append_number(std::string& line, std::uint64_t value, unsigned width) const;
  // A date and time in one cell, or in two (`column` then the next one).
  void append_date_time(std::string& line, std::uint64_t filetime, std::size_t column) const;
  void append_hash_cells(std::string& line, const InputFile& input, const PrefetchRecord& record,
                         std::size_t column) const;
  void append_header(std::string& out) const;

  const ReportSettings& m_settings;
  time::DateTimeFormat m_format;
  std::vector<Column> m_columns;  // fixed once made: render() reads them
  unsigned m_first_column_width = 0;  // set by emit() from the first file
  bool m_header_pending = true;
  bool m_fill;  // blank filling of cells to their column's width
  bool m_pad;   // a blank in front of a time
};

}  // namespace kerf
