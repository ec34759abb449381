#include "lib/uni/fileio.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "lib/path_ops.h"
#include "lib/text_encoding.h"
#include "lib/uni/fileio_output.h"

namespace uni {

namespace {

// Pseudo-files under /proc report no size and can't be sought to their end;
// this much of them is read.
constexpr std::uint64_t kProcFileSize = 262144;
// Largest single read request.
constexpr std::uint64_t kReadPiece = 268435456;
// Group and others may read and write what the umask lets them, as with a
// file created by shell redirection.
constexpr mode_t kCreateMode = 0666;

int open_retrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Waits until a non-blocking descriptor (a terminal, say) takes output again.
bool wait_writable(int fd) {
  pollfd waiting{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, -1);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && (waiting.revents & POLLOUT) != 0;
}

// Writes all `count` bytes, going on after short writes.
bool write_fully(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written > 0) {
      bytes += written;
      count -= static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_writable(fd)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

fileio::fileio() = default;

fileio::~fileio() { close(); }

bool fileio::open_for_read(std::string_view utf8_path) {
  close();
  return open_path(utf8_path, O_RDONLY);
}

bool fileio::open_for_write(std::string_view utf8_path, bool create) {
  close();
  return open_path(utf8_path, create ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDWR);
}

bool fileio::open_for_append(std::string_view utf8_path) {
  close();
  return open_path(utf8_path, O_RDWR | O_CREAT);
}

bool fileio::open_path(std::string_view utf8_path, int flags) {
  m_write_failed = false;
  std::wstring wide = qv::utf8_to_wide(utf8_path);
  if (wide.empty()) return false;  // empty, or not UTF-8
  // The system would stop at a NUL and open a different name.
  if (wide.find(L'\0') != std::wstring::npos) return false;
  if (!qv::strip_trailing_separators(wide)) return false;

  // The bytes as given, minus the removed separators (each one byte): an
  // overlong UTF-8 form is accepted by the decoder but must not turn into a
  // different name on the way back.
  const std::size_t removed = utf8_path.find_last_not_of("/\\");
  std::string native(utf8_path.substr(0, removed + 1));

  // Non-blocking so that opening a FIFO never waits for the other end.
  const int fd = open_retrying(native.c_str(), flags | O_NONBLOCK | O_CLOEXEC, kCreateMode);
  if (fd < 0) return false;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
    ::close(fd);
    return false;
  }
  m_descriptor = fd;
  m_writable = (flags & O_ACCMODE) != O_RDONLY;
  m_path = std::move(wide);
  m_native_path = std::move(native);
  m_opened = true;
  // A regular file's size is already known from its status; anything else
  // (devices, and the pseudo-files under /proc that report 0) is measured by
  // seeking to its end.
  m_size = S_ISREG(status.st_mode) && status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size)
                                                         : measure_size();
  return true;
}

bool fileio::is_open() const noexcept { return m_descriptor != -1 && m_opened; }

std::uint64_t fileio::file_size() const { return is_open() ? m_size : 0; }

std::uint64_t fileio::measure_size() const {
  const off_t here = ::lseek(m_descriptor, 0, SEEK_CUR);
  errno = 0;
  const off_t end = ::lseek(m_descriptor, 0, SEEK_END);
  const int seek_error = errno;
  std::uint64_t size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  if (end < 0 && seek_error == EINVAL && m_native_path.starts_with("/proc")) {
    size = kProcFileSize;
  }
  if (here >= 0) ::lseek(m_descriptor, here, SEEK_SET);
  return size;
}

bool fileio::read_at(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset) {
  if (!is_open() || offset >= m_size || count == 0) {
    out.clear();
    return count == 0 && is_open() && offset < m_size;
  }
  const std::uint64_t wanted = std::min(m_size - offset, count);
  // Bytes a reused vector still holds are overwritten by the read (or cut
  // off below), so only growth is zero-filled.
  out.resize(static_cast<std::size_t>(wanted));

  std::uint64_t got = 0;
  while (got < wanted) {
    const std::uint64_t piece = std::min(wanted - got, kReadPiece);
    const ssize_t n = ::pread(m_descriptor, out.data() + got, static_cast<std::size_t>(piece),
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of a file that shrank, or an error
    got += static_cast<std::uint64_t>(n);
  }
  // Never hand back the zero bytes that were not read: they would be taken
  // for file content.
  out.resize(static_cast<std::size_t>(got));
  return got > 0;
}

bool fileio::append_bytes(const void* bytes, std::size_t count) {
  if (!is_open()) return false;
  if (count == 0) return true;
  // Terminals and other devices can't seek; they are written where they are.
  if (::lseek(m_descriptor, 0, SEEK_END) < 0 && errno != ESPIPE) {
    m_write_failed = true;
    return false;
  }
  if (!write_fully(m_descriptor, static_cast<const std::uint8_t*>(bytes), count)) {
    m_write_failed = true;
    return false;
  }
  const off_t end = ::lseek(m_descriptor, 0, SEEK_CUR);
  if (end >= 0) m_size = static_cast<std::uint64_t>(end);
  return true;
}

bool fileio::append_text(std::string_view text) { return append_bytes(text.data(), text.size()); }

bool fileio::append_text(const std::ostringstream& text) { return append_text(text.view()); }

bool fileio::close() {
  if (m_output) {
    // A failed flush is not tried again by the stream's destructor: that
    // could write part of the block twice.
    if (!m_output->flush_to_file()) m_output->discard_buffered();
    m_output.reset();
  }
  if (m_descriptor != -1) {
    // Some file systems report a failed write only here.
    if (::close(m_descriptor) != 0 && m_writable && errno != EINTR) m_write_failed = true;
  }
  m_descriptor = -1;
  m_size = 0;
  m_writable = false;
  m_opened = false;
  m_path.clear();
  m_native_path.clear();
  return !m_write_failed;
}

bool read_whole_file(std::vector<std::uint8_t>& out, std::string_view utf8_path,
                     std::uint32_t limit) {
  fileio file;
  const std::uint64_t size =
      utf8_path.empty() || limit == 0 || !file.open_for_read(utf8_path) ? 0 : file.file_size();
  if (size == 0) {
    out.clear();
    return false;
  }
  return file.read_at(out, std::min<std::uint64_t>(size, limit), 0);
}

}  // namespace uni
