#include "lib/io/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "lib/io/link_free_open.h"

namespace kerf::io {

namespace {

// Opens a directory for listing. Listing a directory updates its access
// time unless it is opened with O_NOATIME, which the system allows only to
// the directory's owner (and root): anyone else opens it without.
int open_directory(const std::string& path, std::size_t followed) {
  const auto open = [&](int flags) {
    flags |= O_RDONLY | O_DIRECTORY | O_NONBLOCK;
    if (followed != kFollowAll) return open_without_links(path, followed, flags);
    int fd;
    do {
      fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
  };
  const int fd = open(O_NOATIME);
  return fd < 0 && errno == EPERM ? open(0) : fd;
}

class DirectoryHandle {
 public:
  DirectoryHandle(const std::string& path, std::size_t followed) {
    const int fd = open_directory(path, followed);
    if (fd < 0) return;
    m_dir = ::fdopendir(fd);
    if (m_dir == nullptr) {
      const int error = errno;
      ::close(fd);
      errno = error;
    }
  }
  ~DirectoryHandle() {
    if (m_dir != nullptr) ::closedir(m_dir);
  }
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;

  DIR* get() const { return m_dir; }

 private:
  DIR* m_dir = nullptr;
};

enum class EntryKinds { all, directories_only };

// Appends the entries of `dir` (which ends with `separator`) to `out`; the
// errno when it can't be opened, 0 otherwise.
int read_directory(const std::string& dir, char separator, EntryKinds kinds, std::size_t followed,
                   std::vector<DirectoryEntry>& out) {
  if (dir.find('\0') != std::string::npos) return ENOENT;
  errno = 0;
  const DirectoryHandle handle(dir, followed);
  if (handle.get() == nullptr) return errno != 0 ? errno : ENOENT;
  const int dir_fd = ::dirfd(handle.get());
  while (const dirent* found = ::readdir(handle.get())) {
    const std::string_view name(found->d_name);
    if (name == "." || name == "..") continue;
    // Relative to the open directory: the same answer as lstat on the full
    // path, without walking the whole path again for every entry.
    struct stat status {};
    if (dir_fd < 0 || ::fstatat(dir_fd, found->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const bool is_directory = S_ISDIR(status.st_mode);
    if (kinds == EntryKinds::directories_only && !is_directory) continue;
    DirectoryEntry entry;
    // Only the link's target's status is looked at: no link is followed
    // into, but the walk can say which part of the tree it leaves out.
    struct stat target {};
    entry.is_directory_link = S_ISLNK(status.st_mode) && ::fstatat(dir_fd, found->d_name, &target, 0) == 0 &&
                              S_ISDIR(target.st_mode);
    entry.path.reserve(dir.size() + name.size() + 1);
    entry.path = dir;
    entry.path += name;
    if (is_directory) entry.path += separator;
    entry.is_directory = is_directory;
    out.push_back(std::move(entry));
  }
  return 0;
}

// Resolves the "*" components of `path` from position `from` on (what lies
// before came from the disk and is taken literally) into `out`.
void expand_wildcards(const std::string& path, std::size_t from, char separator, std::size_t followed,
                      std::vector<std::string>& out) {
  const char wildcard[] = {separator, '*', separator, '\0'};
  const std::size_t at = path.find(wildcard, from);
  if (at == std::string::npos) {
    out.push_back(path);
    return;
  }
  const std::string parent = path.substr(0, at + 1);
  const std::string_view rest = std::string_view(path).substr(at + 3);
  std::vector<DirectoryEntry> subdirectories;
  read_directory(parent, separator, EntryKinds::directories_only, followed, subdirectories);
  for (const DirectoryEntry& subdirectory : subdirectories) {
    std::string expanded = subdirectory.path;
    expanded += rest;
    // Search again from the separator that ends the subdirectory's name, so
    // that a directory that is really called "*" is not expanded once more.
    expand_wildcards(expanded, subdirectory.path.size() - 1, separator, followed, out);
  }
}

}  // namespace

int directory_error(std::string_view dir, std::size_t followed) {
  if (dir.empty()) return ENOENT;
  const char separator = separator_for(dir);
  std::string base(dir);
  if (base.back() != separator) base += separator;
  std::vector<std::string> directories;
  expand_wildcards(base, 0, separator, followed, directories);
  int error = ENOENT;
  for (const std::string& directory : directories) {
    if (directory.find('\0') != std::string::npos) continue;
    errno = 0;
    const DirectoryHandle handle(directory, followed);
    if (handle.get() != nullptr) return 0;
    error = errno != 0 ? errno : ENOENT;
  }
  return error;
}

char separator_for(std::string_view dir) { return dir.find('/') != std::string_view::npos ? '/' : '\\'; }

std::vector<DirectoryEntry> list_directory(std::string_view dir, Wildcards mode, int* error, std::size_t followed) {
  std::vector<DirectoryEntry> entries;
  if (error != nullptr) *error = 0;
  if (dir.empty()) return entries;
  const char separator = separator_for(dir);
  std::string base(dir);
  if (base.back() != separator) base += separator;

  std::vector<std::string> directories;
  if (mode == Wildcards::expand) {
    expand_wildcards(base, 0, separator, followed, directories);
  } else {
    directories.push_back(std::move(base));
  }
  for (const std::string& directory : directories) {
    const int failed = read_directory(directory, separator, EntryKinds::all, followed, entries);
    if (error != nullptr && *error == 0) *error = failed;
  }
  return entries;
}

}  // namespace kerf::io
