#include "lib/uni/stdin_stream.h"

#include <poll.h>

#include <cerrno>

#include "lib/string_ops.h"
#include "lib/text_encoding.h"

namespace uni {

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

stdin_stream::stdin_stream(std::FILE* input)
    : m_input(input), m_buffer(std::make_unique<char[]>(kBufferSize)), m_ready(input != nullptr) {}

stdin_stream::~stdin_stream() = default;

bool stdin_stream::read_line(std::string& line, bool trim) {
  line.clear();
  if (!m_ready) return false;
  // Byte by byte rather than through fgets itself, with the same limit: a
  // NUL inside a line must not cut the name short and let the rest of the
  // line go unnoticed; kept, it makes the name one that no file can have.
  const std::size_t limit = m_buffer_size - 1;
  std::size_t count = 0;
  while (count < limit) {
    errno = 0;
    const int c = ::getc_unlocked(m_input);
    if (c == EOF) {
      if (std::ferror(m_input) && wait_for_more(m_input)) continue;
      break;
    }
    m_buffer[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (count == 0) return false;
  line.assign(m_buffer.get(), count);
  if (trim) qv::strip_line_end(line);
  return true;
}

bool stdin_stream::read_wide_line(std::wstring& line, bool trim) {
  line.clear();
  std::string bytes;
  if (!read_line(bytes, trim)) return false;
  line = qv::utf8_to_wide(bytes);
  return true;
}

}  // namespace uni
