#include "lib/io/line_reader.h"

#include <poll.h>

#include <cerrno>

#include "lib/text/ascii.h"

namespace kerf::io {

namespace {

// A read that failed only because nothing was there yet (standard input
// left non-blocking by the program before us) or because a signal came in
// is tried again; any other failure ends the input.
bool wait_for_more(std::FILE* input) {
  const int error = errno;
  if (error != EINTR && error != EAGAIN && error != EWOULDBLOCK) return false;
  std::clearerr(input);
  if (error == EINTR) return true;
  pollfd waiting{::fileno(input), POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, -1);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace

bool LineReader::next(std::string& line) {
  line.clear();
  if (m_input == nullptr) return false;
  // Byte by byte rather than through fgets: a NUL inside a line must not cut
  // the name short and let the rest of the line go unnoticed; kept, it makes
  // the name one that no file can have.
  while (line.size() < kMaxPiece) {
    errno = 0;
    const int c = ::getc_unlocked(m_input);
    if (c == EOF) {
      if (std::ferror(m_input) && wait_for_more(m_input)) continue;
      break;
    }
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (line.empty()) return false;
  text::strip_line_end(line);
  return true;
}

}  // namespace kerf::io
