// The input modes and the road of one file through them:
//
//   next name -> load -> render -> write
//
// A single file named on the command line takes that road once; a bulk run
// (-pipe, -enumdir) takes it for every name its source hands out that
// passes the input filter, and a file that fails does not stop the run.
#pragma once

#include <cstdio>
#include <string>

#include "driver/run_settings.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "prefetch/loader.h"
#include "report/renderer.h"

namespace kerf {

// What the loader works out for the layout and options of a run.
DecodeOptions decode_options(const RunSettings& settings);

// Loads, renders and writes one file at a time, reusing its buffers, and
// counts what became of each.
class FileReporter {
 public:
  FileReporter(const RunSettings& settings, Renderer& renderer, io::OutputFile& out)
      : m_settings(settings), m_renderer(renderer), m_out(out), m_loader(decode_options(settings)) {}

  // Decodes the file at `path` and writes its report. True when the report
  // was written; problems go to `messages`.
  bool report(const std::string& path, io::MessageSink& messages);

  const RunSummary& summary() const noexcept { return m_summary; }

 private:
  void write_failure(const InputFile& input, std::string_view reason);

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

// One file named on the command line: no filter, no separator line. True
// when its report was written.
bool run_single_file(const std::string& path, FileReporter& reporter, io::MessageSink& messages);

// A bulk run over piped names or a directory tree. False when the source
// can't be opened or no file was handed on; otherwise whether the last file
// handed on was reported.
bool run_bulk(const RunSettings& settings, FileReporter& reporter, Renderer& renderer, io::OutputFile& out,
              io::MessageSink& messages, std::FILE* input = stdin);

}  // namespace kerf
