#include "lib/uni/fileio_output.h"

#include <memory>
#include <new>

namespace uni {

fileio_ostream::fileio_ostream(fileio& target, std::size_t capacity)
    : streambuf_generic_output<char>(capacity), m_target(&target), m_target_open(target.is_open()) {}

fileio_ostream::~fileio_ostream() { flush(); }

int fileio_ostream::sync() { return 0; }

std::streamsize fileio_ostream::write_out(const char* data, std::streamsize count) {
  if (count <= 0) return 0;
  return m_target->append_bytes(data, static_cast<std::size_t>(count)) ? count : -1;
}

fileio_output::fileio_output(fileio& target, std::size_t capacity)
    : std::ostream(nullptr), m_buffer(target, capacity) {
  if (m_buffer.ready() && m_buffer.target_was_open()) {
    rdbuf(&m_buffer);  // also clears the bad state set by the null buffer
    m_usable = true;
  }
}

fileio_output::~fileio_output() = default;

bool fileio_output::flush_to_file() {
  if (!m_usable) return false;
  if (m_buffer.flush() != 0) {
    setstate(std::ios::badbit);
    return false;
  }
  return true;
}

fileio_output* attach_output_stream(fileio& file) {
  if (!file.is_open()) return nullptr;
  std::unique_ptr<fileio_output> stream;
  try {
    stream = std::make_unique<fileio_output>(file);
  } catch (...) {
    return nullptr;
  }
  if (!stream->usable()) return nullptr;
  if (file.m_output) file.m_output->flush_to_file();
  file.m_output = std::move(stream);
  return file.m_output.get();
}

}  // namespace uni
