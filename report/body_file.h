// A decoded Prefetch file as lines of a body file for The Sleuth Kit's
// mactime: eleven "|"-separated fields per line, times as Unix seconds, one
// line for the file and one for every older run time, as stored.
#pragma once

#include "report/renderer.h"

namespace kerf {

class BodyFileRenderer : public Renderer {
 public:
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;
  // The header line comes with the first file written.
  void emit(const RenderedFile& file, std::string& out) override;

 private:
  bool m_header_pending = true;
};

}  // namespace kerf
