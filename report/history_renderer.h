// -history: one record per Prefetch file across every copy the run reads
// (report/history.h), in the layout the options name: JSON Lines, Timesketch
// events, the long form or a table. Nothing is written until the last copy
// is in: render() makes only each copy's HistoryCopy, emit() keeps it, and
// end() merges and writes every history in the order of their names.
#pragma once

#include "lib/time/date_time_format.h"
#include "report/history_collector.h"
#include "report/renderer.h"

namespace kerf {

class HistoryRenderer : public Renderer {
 public:
  explicit HistoryRenderer(const ReportSettings& settings);

  bool writes_run_header() const override;
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;
  void emit(const RenderedFile& file, std::string& out) override;
  void end(const RunSummary& summary, std::string& out) override;

 private:
  const ReportSettings& m_settings;
  time::DateTimeFormat m_format;
  HistoryCollector m_copies;
};

}  // namespace kerf
