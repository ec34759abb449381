// -timesketch: JSON Lines for a Timesketch import, one object per event: one
// per recorded run of the executable and one per volume creation time. Each
// carries the "message", "datetime" and "timestamp_desc" Timesketch needs,
// and what an examiner filters a timeline by (docs/kerf-timesketch.schema.json).
#pragma once

#include "report/renderer.h"

namespace kerf {

class TimesketchRenderer : public Renderer {
 public:
  explicit TimesketchRenderer(const ReportSettings& settings) : m_settings(settings) {}

  bool writes_run_header() const override { return false; }
  bool needs_hash_check() const override { return true; }
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;

 private:
  const ReportSettings& m_settings;
};

}  // namespace kerf
