// A line reader over the process's standard input: the names a bulk run is
// handed by a pipeline ("find ... | kerf -pipe"), one per line.
//
// A line is read the way fgets reads it into a 4096-byte buffer: at most 4095
// bytes at a time, so a longer line arrives in pieces of at most 4095 bytes,
// each piece taken as a name of its own. The bytes are kept as they are
// (leading and trailing spaces included); only trailing CRs and LFs go when
// trimming is asked for.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace uni {

class stdin_stream {
 public:
  static constexpr std::size_t kBufferSize = 4096;

  // Reads from `input`; standard input unless a test hands another stream.
  explicit stdin_stream(std::FILE* input = stdin);
  virtual ~stdin_stream();
  stdin_stream(const stdin_stream&) = delete;
  stdin_stream& operator=(const stdin_stream&) = delete;

  // Clears `line` and reads the next line (or piece of one) into it; with
  // `trim`, every CR and LF at its end is removed. False at the end of the
  // input or on a read error, when nothing was read.
  virtual bool read_line(std::string& line, bool trim);
  // The same line as wide characters; a line that is not UTF-8 comes back
  // empty (the result is still true).
  virtual bool read_wide_line(std::wstring& line, bool trim);

  bool is_ready() const noexcept { return m_ready; }

 private:
  std::FILE* m_input;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_buffer_size = kBufferSize;
  bool m_ready = false;
};

}  // namespace uni
