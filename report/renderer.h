// A layout's renderer: turns decoded files into output text.
//
// Rendering a file is separate from writing it out, so that the reports of
// many files can be made at once while they are still written in input
// order: render() is const, runs on several decoding threads at once and
// reads only what is fixed when the renderer is made; emit() runs on one
// thread, for each rendered file in input order, and keeps whatever the
// layout needs once per run (a header line, the width of a table's first
// column). Nothing emit() changes may be read by render(); whatever emit()
// needs of a file besides its text, render() leaves in the RenderedFile's
// typed facts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lib/time/instant.h"
#include "prefetch/record.h"
#include "report/input_file.h"
#include "report/rendered_file.h"
#include "report/report_settings.h"

namespace kerf {

// The counts of a whole run, for layouts that end with a summary.
struct RunSummary {
  time::Instant started;        // when the run began
  std::uint64_t handed_on = 0;  // files handed to the decoder
  std::uint64_t reported = 0;
  std::uint64_t failed = 0;
  std::uint64_t unreadable_directories = 0;  // of a walk: parts of the tree not searched
  std::uint64_t unreadable_volumes = 0;  // disk images, or volumes in them, that could not be read
  // Carving (-carve): the streams scanned, the ranges of them that could
  // not be read, the signature hits that did not decode, and the finds not
  // reported because a file with the same content was.
  std::uint64_t carved_streams = 0;
  std::uint64_t unreadable_ranges = 0;
  std::uint64_t hits_not_decoded = 0;
  std::uint64_t repeated_finds = 0;

  // A run succeeds when at least one file was handed to the decoder (or one
  // stream carved, finds or none), every one was reported, and every
  // directory of a walk, every image, every NTFS volume in them and every
  // byte carved could be read.
  bool succeeded() const {
    return (handed_on > 0 || carved_streams > 0) && failed == 0 && unreadable_directories == 0 &&
           unreadable_volumes == 0 && unreadable_ranges == 0;
  }
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

  // Whether the layout shows, for a file read from a disk image, which of
  // the image's volumes the file's volumes are and what became of each
  // loaded file, which the loader then looks up in the image.
  virtual bool needs_loaded_file_fates() const { return false; }

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
