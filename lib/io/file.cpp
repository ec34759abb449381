#include "lib/io/file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "lib/io/link_free_open.h"

namespace kerf::io {

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

// The end of a file that can't report its size in its status.
std::uint64_t measure_size(int fd, std::string_view path) {
  errno = 0;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  const int seek_error = errno;
  ::lseek(fd, 0, SEEK_SET);
  if (end < 0 && seek_error == EINVAL && path.starts_with("/proc")) return kProcFileSize;
  return end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

}  // namespace

bool write_fully(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t count = bytes.size();
  while (count > 0) {
    const ssize_t written = ::write(fd, data, count);
    if (written > 0) {
      data += written;
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

File::~File() { close(); }

std::optional<FileId> file_id(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
  struct stat status {};
  if (::stat(std::string(path).c_str(), &status) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileId> descriptor_id(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool File::open_for_read(std::string_view path, Links links, std::size_t followed) {
  // O_NOATIME keeps the evidence's access time as it was; the system allows
  // it only to the file's owner (and root), so anyone else opens without it.
  if (links == Links::follow) followed = std::string_view::npos;
  if (open_path(path, O_RDONLY | O_NOATIME, followed)) return true;
  return m_error == EPERM && open_path(path, O_RDONLY, followed);
}

bool File::open_for_write(std::string_view path, WriteMode mode) {
  return open_path(path, O_WRONLY | O_CREAT | (mode == WriteMode::truncate ? O_TRUNC : O_APPEND));
}

bool File::open_path(std::string_view path, int flags, std::size_t followed) {
  close();
  m_error = ENOENT;
  // The system would stop at a NUL and open a different name.
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  const std::size_t last = path.find_last_not_of("/\\");
  if (last == std::string_view::npos) return false;
  const std::string native(path.substr(0, last + 1));

  // Non-blocking so that opening a FIFO never waits for the other end.
  const int fd = followed == std::string_view::npos
                     ? open_retrying(native.c_str(), flags | O_NONBLOCK | O_CLOEXEC, kCreateMode)
                     : open_without_links(native, followed, flags | O_NONBLOCK, kCreateMode);
  if (fd < 0) {
    m_error = errno;
    return false;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
    m_error = ENXIO;
    ::close(fd);
    return false;
  }
  m_error = 0;
  m_write_failed = false;
  m_descriptor = fd;
  m_status = status;
  m_writable = (flags & O_ACCMODE) != O_RDONLY;
  // A regular file's size is known from its status; anything else (devices,
  // and the pseudo-files under /proc that report 0) is measured.
  m_size = S_ISREG(status.st_mode) && status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size)
                                                         : measure_size(fd, native);
  return true;
}

std::optional<std::pair<std::int64_t, std::uint32_t>> File::birth_time() const {
  struct statx status {};
  if (!is_open() || ::statx(m_descriptor, "", AT_EMPTY_PATH, STATX_BTIME, &status) != 0 ||
      (status.stx_mask & STATX_BTIME) == 0) {
    return std::nullopt;
  }
  return std::pair{static_cast<std::int64_t>(status.stx_btime.tv_sec), status.stx_btime.tv_nsec};
}

bool File::read_at(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset) {
  if (!is_open() || offset >= m_size || count == 0) {
    out.clear();
    return false;
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

bool File::write_all(std::string_view bytes) {
  if (is_open() && write_fully(m_descriptor, bytes)) return true;
  m_write_failed = true;
  return false;
}

bool File::discard_content() {
  if (!is_open() || !m_writable || !S_ISREG(m_status.st_mode)) return is_open();
  int result;
  do {
    result = ::ftruncate(m_descriptor, 0);
  } while (result != 0 && errno == EINTR);
  if (result != 0) m_error = errno;
  return result == 0;
}

bool File::close() {
  bool closed = true;
  if (m_descriptor != -1 && ::close(m_descriptor) != 0 && m_writable && errno != EINTR) closed = false;
  m_descriptor = -1;
  m_status = {};
  m_size = 0;
  m_writable = false;
  return closed;
}

}  // namespace kerf::io
