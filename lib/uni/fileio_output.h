// The results-file stream: an std::ostream whose bytes go to an open
// uni::fileio through a 256 KiB block.
//
// The stream's own flush (and so std::endl) writes nothing: the report code
// ends every line with std::endl, and a system call per line would dominate a
// run over thousands of files. Bytes reach the file when a byte arrives while
// the block is full (all 262 144 bytes in one write), on flush_to_file(), and
// when the stream is destroyed by the owning uni::fileio's close().
#pragma once

#include <cstddef>
#include <ios>
#include <ostream>

#include "lib/uni/fileio.h"
#include "lib/uni/streambuf_generic_output.h"

namespace uni {

class fileio_ostream : public streambuf_generic_output<char> {
 public:
  fileio_ostream(fileio& target, std::size_t capacity);
  // Writes what is still buffered; a failure shows in the target's
  // write_failed().
  ~fileio_ostream() override;

  bool target_was_open() const noexcept { return m_target_open; }

 protected:
  // Only reports success: the standard flush leaves the bytes in the block.
  int sync() override;
  std::streamsize write_out(const char* data, std::streamsize count) override;

 private:
  fileio* m_target;
  bool m_target_open;
};

// The target must outlive the stream; attach_output_stream arranges that.
class fileio_output : public std::ostream {
 public:
  static constexpr std::size_t kBufferSize = 262144;

  // Without a buffer (allocation failed) or with a target that is not open
  // the stream has no stream buffer and is bad from the start.
  explicit fileio_output(fileio& target, std::size_t capacity = kBufferSize);
  ~fileio_output() override;

  bool usable() const noexcept { return m_usable; }
  // Writes everything buffered to the file now. False on a write error (the
  // stream is then set bad) or when the stream is not usable.
  bool flush_to_file();
  // Drops what is buffered, so that destroying the stream writes nothing.
  void discard_buffered() { m_buffer.discard(); }

 private:
  fileio_ostream m_buffer;
  bool m_usable = false;
};

// Attaches a new results stream with a 262 144-byte block to an open file;
// the file owns it from then on (a stream attached earlier is flushed and
// destroyed first) and destroys it on close(). Null when the file is not
// open or the stream can't be built.
fileio_output* attach_output_stream(fileio& file);

}  // namespace uni
