#include "driver/output_sink.h"

#include <unistd.h>

#include <iostream>

#include "lib/uni/fileio_output.h"

namespace kerf {

output_sink::output_sink()
    : m_stream(&std::cout), m_flush_each_file(::isatty(STDOUT_FILENO) == 1) {}

output_sink::~output_sink() { close(); }

bool output_sink::open_results_file(const std::string& path, bool keep_content) {
  auto file = std::make_unique<uni::fileio>();
  const bool opened = keep_content ? file->open_for_append(path) : file->open_for_write(path, true);
  if (!opened) return false;
  uni::fileio_output* stream = uni::attach_output_stream(*file);
  if (stream == nullptr) return false;
  m_results_file = std::move(file);
  m_stream = stream;
  m_flush_each_file = false;
  return true;
}

void output_sink::end_of_file() {
  if (m_flush_each_file) m_stream->flush();
}

bool output_sink::close() {
  if (m_closed) return true;
  m_closed = true;
  bool written = true;
  if (m_results_file) {
    written = static_cast<bool>(*m_stream);
    m_stream = &std::cout;
    // Closing writes the buffered block; a failure there shows in the result.
    written = m_results_file->close() && written;
    m_results_file.reset();
  } else {
    m_stream->flush();
    written = static_cast<bool>(*m_stream);
  }
  return written;
}

}  // namespace kerf
