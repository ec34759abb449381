// A layout's renderer: turns decoded files into output text.
//
// Rendering a file is separate from writing it out, so that the reports of
// many files can be made at once while they are still written in input
// order: render() is const, runs on several decoding threads at once and
// reads only what is fixed when the renderer is made; emit() runs on one
// thread, for each rendered file in input order, and keeps whatever the
// layout needs once per run (a header line, the width of a table's first
// column). Nothing emit() changes may be read by render().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lib/time/instant.h"
#include "prefetch/record.h"
#include "report/input_file.h"
#include "report/report_settings.h"

namespace kerf {

// One file's report, between render() and emit().
struct RenderedFile {
  std::string text;
  // Tables whose first column is as wide as the first file's path asks
  // (-pf_path): where the first cell's text ends, and the width this file
  // would give the column.
  std::size_t first_cell_end = 0;
  unsigned first_column_width = 0;
  // What a layout keeps of the file until end() (the HTML page's timeline:
  // the executable and the file's name, and its run times), made by render()
  // so that emit() only has to store it. Empty in every other layout.
  std::string kept_text;
  std::vector<std::uint64_t> kept_times;

  // What it holds in memory, for the bound on what waits to be written.
  std::size_t size() const noexcept { return text.size() + kept_text.size() + kept_times.size() * 8; }

  void clear() {
    text.clear();
    first_cell_end = 0;
    first_column_width = 0;
    kept_text.clear();
    kept_times.clear();
  }
};

// The counts of a whole run, for layouts that end with a summary.
struct RunSummary {
  time::Instant started;        // when the run began
  std::uint64_t handed_on = 0;  // files handed to the decoder
  std::uint64_t reported = 0;
  std::uint64_t failed = 0;
  std::uint64_t unreadable_directories = 0;  // of a walk: parts of the tree not searched

  // A run succeeds when at least one file was handed to the decoder, every
  // one was reported, and every directory of a walk could be read.
  bool succeeded() const { return handed_on > 0 && failed == 0 && unreadable_directories == 0; }
};

class Renderer {
 public:
  virtual ~Renderer() = default;

  // Whether the run header stands first in the output (layouts that tools
  // read line by line have none).
  virtual bool writes_run_header() const { return true; }

  // Whether the layout shows the verdict of the executable's hash check
  // (with -verify, or always), which the loader then has to make (it costs
  // a search per file).
  virtual bool needs_hash_check() const { return false; }

  // Whether the layout shows the loaded files' NTFS file references, which
  // the loader then reads.
  virtual bool needs_file_references() const { return false; }

  // Whether the layout shows the file's birth time, which takes the loader
  // one more system call per file.
  virtual bool needs_birth_time() const { return false; }

  // Text that stands before the first file's report.
  virtual void begin(std::string& out) { (void)out; }

  // The report of one decoded file into `file` (cleared first).
  virtual void render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const = 0;

  // Adds a rendered file to the output.
  virtual void emit(const RenderedFile& file, std::string& out) { out += file.text; }

  // A file handed to the decoder that gave no report, in input order with
  // the reports, and why.
  virtual void failed(const InputFile& input, std::string_view reason, std::string& out) {
    (void)input, (void)reason, (void)out;
  }

  // Text that stands after the last file.
  virtual void end(const RunSummary& summary, std::string& out) { (void)summary, (void)out; }
};

std::unique_ptr<Renderer> make_renderer(const ReportSettings& settings);

}  // namespace kerf
