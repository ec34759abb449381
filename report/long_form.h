// The readable long-form report of one Prefetch file: the file's own times,
// the executable and its run times, the files it loaded and the volumes and
// directories it touched, in two aligned columns; with -verify, what the
// stored hash proves about the executable's path.
#pragma once

#include "lib/time/date_time_format.h"
#include "report/renderer.h"

namespace kerf {

class LongFormRenderer : public Renderer {
 public:
  explicit LongFormRenderer(const ReportSettings& settings);

  // In a bulk run with -verbose, a separator line stands before the first
  // report and after each one.
  void begin(std::string& out) override;
  bool needs_hash_check() const override { return m_verify; }
  // Only -verbose shows the image's volumes and the loaded files' fates.
  bool needs_loaded_file_fates() const override { return m_verbose; }
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;

 private:
  time::DateTimeFormat m_format;
  bool m_separators;
  bool m_verify;
  bool m_verbose;
};

}  // namespace kerf
