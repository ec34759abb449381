// Where a run's output goes: standard output, or the results file named with
// -out. Reports are handed over as whole pieces of text and leave in 256 KiB
// blocks, so a run over thousands of files makes few large writes; at the
// end the run learns whether every byte arrived.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lib/io/file.h"

namespace kerf::io {

class OutputFile {
 public:
  static constexpr std::size_t kBlockSize = 262144;

  // Standard output, until a results file is opened.
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Sends the output to the results file at `path`: emptied first, or with
  // `keep_content` added after what it holds (created when absent in both
  // cases). False when it can't be opened; error() then tells why.
  bool open_results_file(std::string_view path, bool keep_content);
  // Empties the results file opened with `keep_content` (nothing written to
  // it yet): a run opens every file it writes before it empties any, so that
  // one it then refuses has emptied none. False (error() tells why) when the
  // system refuses.
  bool discard_content() { return m_results_file.discard_content(); }
  int error() const noexcept { return m_results_file.error(); }

  // Takes `text`; whole blocks are written out as they fill.
  void write(std::string_view text);

  // Writes out what is buffered now.
  void flush();

  // Whether the output is a terminal (standard output is one and no results
  // file was opened): the run then pushes each file's report out at once.
  bool is_terminal() const noexcept { return m_terminal; }

  // Writes out what is buffered and closes the results file. False when any
  // write failed (a full disk, a closed standard output).
  bool close();

 private:
  void write_out(std::string_view bytes);

  File m_results_file;
  int m_descriptor;
  bool m_terminal;
  bool m_failed = false;
  bool m_closed = false;
  std::string m_block;
};

}  // namespace kerf::io
