#include "lib/io/output_file.h"

#include <unistd.h>

namespace kerf::io {

OutputFile::OutputFile() : m_descriptor(STDOUT_FILENO), m_terminal(::isatty(STDOUT_FILENO) == 1) {
  m_block.reserve(kBlockSize);
}

OutputFile::~OutputFile() { close(); }

bool OutputFile::open_results_file(std::string_view path, bool keep_content) {
  if (!m_results_file.open_for_write(
          path, keep_content ? File::WriteMode::append : File::WriteMode::truncate)) {
    return false;
  }
  m_descriptor = m_results_file.descriptor();
  m_terminal = false;
  return true;
}

void OutputFile::write(std::string_view text) {
  if (m_block.size() + text.size() <= kBlockSize) {
    m_block.append(text);
    return;
  }
  // Fill the block, write it, and keep what is left (writing whole blocks
  // straight from `text` when it is larger than one).
  const std::size_t room = kBlockSize - m_block.size();
  m_block.append(text.substr(0, room));
  text.remove_prefix(room);
  write_out(m_block);
  m_block.clear();
  while (text.size() > kBlockSize) {
    write_out(text.substr(0, kBlockSize));
    text.remove_prefix(kBlockSize);
  }
  m_block.append(text);
}

void OutputFile::flush() {
  write_out(m_block);
  m_block.clear();
}

void OutputFile::write_out(std::string_view bytes) {
  // After a failure nothing more is written: a later block would leave a
  // hole in the results.
  if (bytes.empty() || m_failed) return;
  if (!write_fully(m_descriptor, bytes)) m_failed = true;
}

bool OutputFile::close() {
  if (m_closed) return !m_failed;
  m_closed = true;
  flush();
  if (m_results_file.is_open() && !m_results_file.close()) m_failed = true;
  return !m_failed;
}

}  // namespace kerf::io
