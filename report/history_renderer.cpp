#include "report/history_renderer.h"

#include "report/history_layouts.h"

namespace kerf {

HistoryRenderer::HistoryRenderer(const ReportSettings& settings)
    : m_settings(settings), m_format(settings.date_pattern, settings.time_pattern) {}

// The JSON layouts are read line by line; the long form and the table start
// with the run header as they do without -history.
bool HistoryRenderer::writes_run_header() const {
  return m_settings.layout != Layout::json_record && m_settings.layout != Layout::timesketch;
}

void HistoryRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  describe_copy(input, record, file.new_facts<HistoryCopy>());
}

void HistoryRenderer::emit(const RenderedFile& file, std::string& out) {
  (void)out;
  m_copies.add(file.facts<HistoryCopy>());
}

void HistoryRenderer::end(const RunSummary& summary, std::string& out) {
  (void)summary;
  switch (m_settings.layout) {
    case Layout::json_record:
      m_copies.for_each([&](const HistoryRecord& record) { append_history_json(out, record, m_settings); });
      return;
    case Layout::timesketch:
      m_copies.for_each([&](const HistoryRecord& record) { append_history_events(out, record, m_settings); });
      return;
    case Layout::csv_table:
    case Layout::padded_table: {
      if (m_copies.empty()) return;
      const HistoryTable table(m_settings);
      table.append_header(out);
      m_copies.for_each([&](const HistoryRecord& record) { table.append_row(out, record); });
      return;
    }
    default:
      m_copies.for_each([&](const HistoryRecord& record) { append_history_long_form(out, record, m_format); });
      return;
  }
}

}  // namespace kerf
