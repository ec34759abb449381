// Evidence files keep their access times: every read-only open made in the
// kerf process goes to the system with O_NOATIME first.
//
// The disk-image libraries (libewf, libqcow, libvmdk, libvhdi, The Sleuth
// Kit) open the files of an image themselves, by name, with open() or
// open64(); they carry private copies of their I/O layers, so handing them
// descriptors kerf opened is not safe. Instead, this file defines open(),
// open64(), openat() and openat64() in the kerf executable itself: the
// dynamic linker binds a shared library's calls to the executable's symbols
// before libc's, so those libraries' opens come here. A read-only open is
// tried with O_NOATIME, which the system allows only to the file's owner (and
// to root), and is made again with the flags as given when it is refused
// with EPERM; any other open is made as asked. (fopen() does not come here,
// as glibc calls its own internal open; none of those libraries reads
// images through it.)
//
// The opens are made with the system call itself, not through libc, whose
// open these definitions replace. This object is linked into the executables
// (it is no part of the layer libraries), and defines no other symbol.
// The checked inline open() of a fortified build would clash with these
// definitions.
#undef _FORTIFY_SOURCE
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

namespace {

// The mode argument, which is there only when the open may create a file.
mode_t mode_argument(int flags, va_list arguments) {
  const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return creates ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int system_openat(int directory, const char* path, int flags, mode_t mode) {
  return static_cast<int>(::syscall(SYS_openat, directory, path, flags, mode));
}

int open_keeping_access_time(int directory, const char* path, int flags, mode_t mode) {
  if ((flags & O_ACCMODE) == O_RDONLY && (flags & (O_NOATIME | O_PATH)) == 0) {
    const int saved = errno;
    const int fd = system_openat(directory, path, flags | O_NOATIME, mode);
    if (fd >= 0 || errno != EPERM) return fd;
    errno = saved;
  }
  return system_openat(directory, path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = mode_argument(flags, arguments);
  va_end(arguments);
  return open_keeping_access_time(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = mode_argument(flags, arguments);
  va_end(arguments);
  return open_keeping_access_time(AT_FDCWD, path, flags | O_LARGEFILE, mode);
}

int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = mode_argument(flags, arguments);
  va_end(arguments);
  return open_keeping_access_time(directory, path, flags, mode);
}

int openat64(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = mode_argument(flags, arguments);
  va_end(arguments);
  return open_keeping_access_time(directory, path, flags | O_LARGEFILE, mode);
}

}  // extern "C"
