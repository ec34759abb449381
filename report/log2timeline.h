// A decoded Prefetch file as lines of a log2timeline CSV timeline: 17 fields
// per line, one line per distinct time of the file (its own times and its
// last run), then one line for every older run time, as stored, so that
// each recorded run of the executable shows on the timeline.
#pragma once

#include <string>

#include "lib/time/date_time_format.h"
#include "report/renderer.h"

namespace kerf {

class Log2TimelineRenderer : public Renderer {
 public:
  explicit Log2TimelineRenderer(const ReportSettings& settings);

  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;
  // The header line comes with the first file written.
  void emit(const RenderedFile& file, std::string& out) override;

 private:
  struct Fields;
  void clean_free_text(Fields& fields) const;
  void append_lines(const Fields& fields, std::string& out) const;

  const ReportSettings& m_settings;
  time::DateTimeFormat m_format;
  std::string m_format_field;                   // "<program> (quorvex)"
  bool m_header_pending = true;
};

}  // namespace kerf
