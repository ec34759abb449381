// -json: one JSON object per decoded Prefetch file, one per line, holding
// every fact kerf reads from the file and from the file system. The member
// names are fixed (docs/kerf-json.schema.json), since tools key on them.
#pragma once

#include "report/renderer.h"

namespace kerf {

class JsonRecordRenderer : public Renderer {
 public:
  explicit JsonRecordRenderer(const ReportSettings& settings) : m_settings(settings) {}

  // Every line is a record: tools read the output line by line.
  bool writes_run_header() const override { return false; }
  bool needs_hash_check() const override { return true; }
  bool needs_file_references() const override { return true; }
  bool needs_birth_time() const override { return true; }
  bool needs_loaded_file_fates() const override { return true; }
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;

 private:
  const ReportSettings& m_settings;
};

}  // namespace kerf
