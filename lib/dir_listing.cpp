#include "lib/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "lib/string_ops.h"

namespace qvportdir {

namespace {

// The name and extension conditions of a listing pattern.
class name_pattern {
 public:
  explicit name_pattern(std::string_view pattern) {
    const std::size_t dot = pattern.rfind('.');
    m_name = lowered(pattern.substr(0, dot));
    m_extension = dot == std::string_view::npos ? std::string() : lowered(pattern.substr(dot + 1));
    m_any_name = m_name == "*";
    m_any_extension = m_extension == "*" || (dot == std::string_view::npos && m_any_name);
  }

  bool accepts(std::string_view file_name) const {
    if (m_any_name && m_any_extension) return true;
    const std::size_t dot = file_name.rfind('.');
    const std::string name = lowered(file_name.substr(0, dot));
    const std::string extension =
        dot == std::string_view::npos ? std::string() : lowered(file_name.substr(dot + 1));
    return (m_any_name || name == m_name) && (m_any_extension || extension == m_extension);
  }

 private:
  static std::string lowered(std::string_view text) {
    std::string copy(text);
    qv::to_lower(copy);
    return copy;
  }

  std::string m_name;
  std::string m_extension;
  bool m_any_name = false;
  bool m_any_extension = false;
};

class directory_handle {
 public:
  explicit directory_handle(const std::string& path) : m_dir(::opendir(path.c_str())) {}
  ~directory_handle() {
    if (m_dir != nullptr) ::closedir(m_dir);
  }
  directory_handle(const directory_handle&) = delete;
  directory_handle& operator=(const directory_handle&) = delete;

  DIR* get() const { return m_dir; }

 private:
  DIR* m_dir;
};

enum class entry_kinds { all, directories_only };

// Appends the entries of `dir` (which ends with `separator`) to `out`.
void read_directory(const std::string& dir, char separator, entry_kinds kinds,
                    const name_pattern& pattern, std::vector<dir_entry>& out) {
  if (dir.find('\0') != std::string::npos) return;
  const directory_handle handle(dir);
  if (handle.get() == nullptr) return;
  const int dir_fd = ::dirfd(handle.get());
  for (;;) {
    errno = 0;
    const dirent* found = ::readdir(handle.get());
    if (found == nullptr) break;  // the end, or a directory that can't be read further
    const std::string_view name(found->d_name);
    if (name == "." || name == "..") continue;
    // Relative to the open directory: the same answer as lstat on the full
    // path, without walking the whole path again for every entry.
    struct stat status {};
    if (dir_fd < 0 || ::fstatat(dir_fd, found->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const bool is_directory = S_ISDIR(status.st_mode);
    if (kinds == entry_kinds::directories_only && !is_directory) continue;
    if (!is_directory && !pattern.accepts(name)) continue;
    dir_entry entry;
    entry.path.reserve(dir.size() + name.size() + 1);
    entry.path = dir;
    entry.path += name;
    if (is_directory) entry.path += separator;
    entry.is_directory = is_directory;
    out.push_back(std::move(entry));
  }
}

// Resolves the "*" components of `path` from position `from` on (what lies
// before came from the disk and is taken literally) into `out`.
void expand_wildcards(const std::string& path, std::size_t from, char separator,
                      std::vector<std::string>& out) {
  const char wildcard[] = {separator, '*', separator, '\0'};
  const std::size_t at = path.find(wildcard, from);
  if (at == std::string::npos) {
    out.push_back(path);
    return;
  }
  const std::string parent = path.substr(0, at + 1);
  const std::string_view rest = std::string_view(path).substr(at + 3);
  std::vector<dir_entry> subdirectories;
  read_directory(parent, separator, entry_kinds::directories_only, name_pattern("*"),
                 subdirectories);
  for (const dir_entry& subdirectory : subdirectories) {
    std::string expanded = subdirectory.path;
    expanded += rest;
    // Search again from the separator that ends the subdirectory's name, so
    // that a directory that is really called "*" is not expanded once more.
    expand_wildcards(expanded, subdirectory.path.size() - 1, separator, out);
  }
}

}  // namespace

char separator_for(std::string_view dir) {
  return dir.find('/') != std::string_view::npos ? '/' : '\\';
}

std::vector<dir_entry> list_directory(std::string_view dir, std::string_view pattern,
                                      wildcards mode) {
  std::vector<dir_entry> entries;
  if (dir.empty()) return entries;
  const char separator = separator_for(dir);
  std::string base(dir);
  if (base.back() != separator) base += separator;

  std::vector<std::string> directories;
  if (mode == wildcards::expand) {
    expand_wildcards(base, 0, separator, directories);
  } else {
    directories.push_back(std::move(base));
  }
  const name_pattern names(pattern);
  for (const std::string& directory : directories) {
    read_directory(directory, separator, entry_kinds::all, names, entries);
  }
  return entries;
}

}  // namespace qvportdir
