// The layouts of a -history run: each writes one Prefetch file's history
// (report/history.h) at the end of the run.
#pragma once

#include <string>
#include <vector>

#include "lib/time/date_time_format.h"
#include "report/history.h"
#include "report/report_settings.h"

namespace kerf {

// -json: one object per Prefetch file, one a line
// (docs/kerf-history.schema.json).
void append_history_json(std::string& out, const HistoryRecord& record, const ReportSettings& settings);

// -timesketch: one event per distinct run time, with the copies that hold it
// (docs/kerf-history-timesketch.schema.json).
void append_history_events(std::string& out, const HistoryRecord& record, const ReportSettings& settings);

// The long form: the copies, the run times with the copies that hold each,
// and the flags.
void append_history_long_form(std::string& out, const HistoryRecord& record, const time::DateTimeFormat& format);

// -csv (and the " | " table): one row per Prefetch file under a header line.
class HistoryTable {
 public:
  explicit HistoryTable(const ReportSettings& settings);

  void append_header(std::string& out) const;
  void append_row(std::string& out, const HistoryRecord& record) const;

 private:
  void append_text(std::string& line, std::string_view text) const;
  void append_date_time(std::string& line, std::uint64_t filetime) const;

  const ReportSettings& m_settings;
  time::DateTimeFormat m_format;
  std::vector<std::string> m_columns;
};

}  // namespace kerf
