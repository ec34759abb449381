// The input modes and the road of one file through them:
//
//   next name -> load -> render -> write
//
// A single file named on the command line takes that road once; a bulk run
// (-pipe, -enumdir, or several names on the command line) takes it for every
// name its source hands out that passes the input filter, and a file that
// fails does not stop the run.
#pragma once

#include <cstdio>
#include <string>

#include "driver/run_settings.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "prefetch/loader.h"
#include "report/renderer.h"

namespace kerf {

// Where a name came from: typed by the examiner, or found by kerf in a
// pipe or a directory walk (where a symbolic link is not followed).
enum class NameOrigin { typed, found };

// What became of one name.
enum class FileOutcome {
  reported,
  failed,   // handed to the decoder, no report: a message says why
  skipped,  // never decoded (a file this run writes to, a link not followed)
};

// Loads, renders and writes one file at a time, reusing its buffers, and
// counts what became of each.
class FileReporter {
 public:
  FileReporter(const RunSettings& settings, Renderer& renderer, io::OutputFile& out)
      : m_settings(settings), m_renderer(renderer), m_out(out) {}

  // Files this run writes to, never read as input.
  void set_excluded(std::vector<io::FileId> excluded) { m_loader.set_excluded(std::move(excluded)); }

  // Decodes the file at `path` and writes its report; problems go to
  // `messages` (unless -quiet).
  FileOutcome report(const std::string& path, NameOrigin origin, io::MessageSink& messages);

  const RunSummary& summary() const noexcept { return m_summary; }

 private:
  FileOutcome decode_and_write(const InputFile& input, NameOrigin origin, io::MessageSink& messages);
  void fail(const InputFile& input, std::string_view reason, io::MessageSink& messages);

  const RunSettings& m_settings;
  Renderer& m_renderer;
  io::OutputFile& m_out;
  PrefetchLoader m_loader;
  PrefetchRecord m_record;
  RenderedFile m_rendered;
  std::string m_text;
  RunSummary m_summary;
};

// The name a report shows for `path`: what follows its last '\' (or, when
// it has none, its last '/'); the whole path when the separator stands first
// or there is none; "." for a path ending in "..".
std::string input_name(const std::string& path);

// A bulk run over names typed on the command line, piped names or a
// directory tree. Writes "kerf: N files: R reported, F failed" to `messages`
// at the end (unless -quiet). True when at least one file was handed to the
// decoder and every one was reported.
bool run_bulk(const RunSettings& settings, FileReporter& reporter, Renderer& renderer, io::OutputFile& out,
              io::MessageSink& messages, std::FILE* input = stdin);

}  // namespace kerf
