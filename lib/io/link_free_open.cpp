#include "lib/io/link_free_open.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

namespace kerf::io {

namespace {

// A directory descriptor that is closed when it goes, unless it is the
// working directory's stand-in AT_FDCWD.
class DirectoryFd {
 public:
  explicit DirectoryFd(int fd = AT_FDCWD) : m_fd(fd) {}
  ~DirectoryFd() { reset(AT_FDCWD); }
  DirectoryFd(const DirectoryFd&) = delete;
  DirectoryFd& operator=(const DirectoryFd&) = delete;

  int get() const noexcept { return m_fd; }
  void reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

template <typename Call>
int retrying(Call call) {
  int fd;
  do {
    fd = call();
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// openat2(2) with no link allowed anywhere in `rest`; ENOSYS where the
// kernel (or a sandbox in front of it) does not offer the call.
int open_resolving_without_links(int dir, const std::string& rest, int flags, mode_t mode) {
#ifdef SYS_openat2
  open_how how{};
  how.flags = static_cast<std::uint64_t>(static_cast<unsigned>(flags));
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;  // openat2 refuses a mode it would not use
  how.resolve = RESOLVE_NO_SYMLINKS;
  return static_cast<int>(::syscall(SYS_openat2, dir, rest.c_str(), &how, sizeof how));
#else
  (void)dir, (void)rest, (void)flags, (void)mode;
  errno = ENOSYS;
  return -1;
#endif
}

// The same, one component at a time: each directory on the way is opened
// without following a link and must be a directory; the last component is
// opened with O_NOFOLLOW.
int open_component_by_component(int dir, std::string_view rest, int flags, mode_t mode) {
  DirectoryFd current;
  int at = dir;
  for (;;) {
    const std::size_t slash = rest.find('/');
    const std::string name(rest.substr(0, slash));
    if (slash == std::string_view::npos) {
      return retrying([&] { return ::openat(at, name.c_str(), flags | O_NOFOLLOW, mode); });
    }
    rest.remove_prefix(slash + 1);
    if (name.empty() || name == ".") continue;
    // O_PATH needs only search permission, as a path lookup does; with
    // O_NOFOLLOW a link is opened as itself, and recognised below.
    const int next = retrying([&] { return ::openat(at, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC); });
    if (next < 0) return -1;
    current.reset(next);
    at = next;
    struct stat status {};
    if (::fstat(next, &status) != 0) return -1;
    if (!S_ISDIR(status.st_mode)) {
      errno = S_ISLNK(status.st_mode) ? ELOOP : ENOTDIR;
      return -1;
    }
  }
}

}  // namespace

int open_without_links(std::string_view path, std::size_t followed, int flags, mode_t mode) {
  flags |= O_CLOEXEC;
  followed = std::min(followed, path.size());
  std::string_view rest = path.substr(followed);
  while (rest.starts_with('/')) rest.remove_prefix(1);
  while (rest.ends_with('/')) rest.remove_suffix(1);
  if (rest.empty()) {
    // Nothing beyond the part the examiner typed.
    const std::string whole(path);
    return retrying([&] { return ::open(whole.c_str(), flags, mode); });
  }
  // Where the rest starts: the typed directory (reached through links if it
  // must be), the root for an absolute name, the working directory otherwise.
  DirectoryFd start;
  const std::string head =
      followed == 0 && path.starts_with('/') ? std::string(1, '/') : std::string(path.substr(0, followed));
  if (!head.empty()) {
    const int fd = retrying([&] { return ::open(head.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) return -1;
    start.reset(fd);
  }
  const std::string rest_name(rest);
  const int fd = retrying([&] { return open_resolving_without_links(start.get(), rest_name, flags, mode); });
  // A sandbox may answer EPERM for a call it does not know; the walk below
  // then gives the real answer (EPERM again when that is the real one).
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
  return open_component_by_component(start.get(), rest, flags, mode);
}

}  // namespace kerf::io
