// -html: one self-contained page for a whole run, for examiners and for
// whoever they hand it to with only a browser: the run's facts, an execution
// timeline drawn as inline SVG, a sortable table of every reported file and
// the files that failed, with the reasons.
//
// The page is written as the run goes, so that memory stays bounded however
// large the tree: its head and the table's opening first, then each file's
// table row as the file is written out. Only each file's timeline facts (the
// executable, the file's name, its run times) and the failed files wait, and
// at the end of the run the facts of the run, the timeline and the failed
// list follow the table; the style sheet puts them above it on screen and on
// paper.
#pragma once

#include <cstdint>
#include <string>

#include "lib/time/date_time_format.h"
#include "report/history_collector.h"
#include "report/html/html_timeline.h"
#include "report/renderer.h"

namespace kerf {

class HtmlPageRenderer : public Renderer {
 public:
  // Failed files kept for the list at the end; past this, they are counted.
  static constexpr std::size_t kMaxFailedBytes = 8u * 1024u * 1024u;

  explicit HtmlPageRenderer(const ReportSettings& settings);

  // The page holds the run's facts itself.
  bool writes_run_header() const override { return false; }
  bool needs_hash_check() const override { return true; }
  bool needs_loaded_file_fates() const override { return true; }

  void begin(std::string& out) override;
  void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const override;
  void emit(const RenderedFile& file, std::string& out) override;
  void failed(const InputFile& input, std::string_view reason, std::string& out) override;
  void end(const RunSummary& summary, std::string& out) override;

 private:
  // The head and the table's opening, once: a run over one named file
  // starts with its report, not with begin().
  void open_page(std::string& out);
  void append_run_facts(std::string& out, const RunSummary& summary) const;
  void add_histories_to_timeline();

  const ReportSettings& m_settings;
  time::DateTimeFormat m_format;
  ExecutionTimeline m_timeline;
  HistoryCollector m_history;  // -history: the copies, merged into the timeline at the end
  std::string m_failed;  // the list items
  std::uint64_t m_failed_left_out = 0;
  bool m_opened = false;
};

}  // namespace kerf
