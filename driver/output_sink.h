// Where a run's output goes: standard output, or the results file named with
// -out. Either way the reports are written through one std::ostream, and at
// the end the run learns whether every byte arrived.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "lib/uni/fileio.h"

namespace kerf {

class output_sink {
 public:
  // Standard output (std::cout), until a results file is opened.
  output_sink();
  virtual ~output_sink();
  output_sink(const output_sink&) = delete;
  output_sink& operator=(const output_sink&) = delete;

  // Sends the output to the results file at `path` through a 256 KiB block:
  // emptied first, or with `keep_content` appended after what it holds
  // (created when absent in both cases). False when it can't be opened.
  bool open_results_file(const std::string& path, bool keep_content);

  std::ostream& stream() noexcept { return *m_stream; }

  // Called after the header and after each input file. Standard output on a
  // terminal is pushed out here, so that the messages that standard error
  // shows for the next file appear after this file's report.
  void end_of_file();

  // Whether the reports appear on a terminal (standard output is one and no
  // results file was opened).
  bool writes_to_terminal() const noexcept { return m_flush_each_file; }

  // Writes out what is buffered and closes the results file. False when any
  // write failed (a full disk, a closed standard output).
  bool close();

 private:
  std::unique_ptr<uni::fileio> m_results_file;
  std::ostream* m_stream;
  bool m_flush_each_file;
  bool m_closed = false;
};

}  // namespace kerf
