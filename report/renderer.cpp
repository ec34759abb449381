#include "report/renderer.h"

#include "report/body_file.h"
#include "report/csv_table.h"
#include "report/history_renderer.h"
#include "report/html/html_page.h"
#include "report/json_record.h"
#include "report/log2timeline.h"
#include "report/long_form.h"
#include "report/timesketch.h"

namespace kerf {

std::unique_ptr<Renderer> make_renderer(const ReportSettings& settings) {
  // The HTML page draws a history in its timeline itself.
  if (settings.history && settings.layout != Layout::html_page) return std::make_unique<HistoryRenderer>(settings);
  switch (settings.layout) {
    case Layout::csv_table:
    case Layout::padded_table: return std::make_unique<CsvTableRenderer>(settings);
    case Layout::log2timeline: return std::make_unique<Log2TimelineRenderer>(settings);
    case Layout::body_file: return std::make_unique<BodyFileRenderer>();
    case Layout::json_record: return std::make_unique<JsonRecordRenderer>(settings);
    case Layout::timesketch: return std::make_unique<TimesketchRenderer>(settings);
    case Layout::html_page: return std::make_unique<HtmlPageRenderer>(settings);
    case Layout::long_form: break;
  }
  return std::make_unique<LongFormRenderer>(settings);
}

}  // namespace kerf
