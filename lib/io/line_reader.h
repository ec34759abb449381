// Lines of a byte stream: the names a bulk run is handed by a pipeline
// ("find ... | kerf -pipe"), one per line.
//
// A line is read at most 4095 bytes at a time, so a longer line arrives in
// pieces of at most 4095 bytes, each piece taken as a name of its own. The
// bytes are kept as they are, NUL and leading and trailing spaces included;
// only the trailing CRs and LFs go.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace kerf::io {

class LineReader {
 public:
  static constexpr std::size_t kMaxPiece = 4095;

  // Reads from `input`; standard input unless a test hands another stream.
  explicit LineReader(std::FILE* input = stdin) : m_input(input) {}

  // Clears `line` and reads the next line (or piece of one) into it, without
  // its trailing CRs and LFs. False at the end of the input or on a read
  // error, when nothing was read.
  bool next(std::string& line);

 private:
  std::FILE* m_input;
};

}  // namespace kerf::io
