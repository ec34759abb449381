// Listing one directory for the directory walk of a bulk run (-enumdir).
//
// Directories are named the way examiners write them: with "/" on a Linux
// mount, or with "\" as copied from a Windows report. A name that holds a
// "/" is taken with "/" as its separator, any other with "\".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kerf::io {

struct DirectoryEntry {
  std::string path;           // the directory, a separator, the name; one more separator for a directory
  bool is_directory = false;  // a real directory (a symbolic link to one is not)
  bool is_directory_link = false;  // a symbolic link that leads to a directory

  bool operator==(const DirectoryEntry&) const = default;
};

// Whether a "*" component of the directory name stands for every
// subdirectory (the starting directory of a walk, as the user typed it) or
// is a name like any other (a directory found on disk may be called "*").
enum class Wildcards { expand, literal };

// '/' when `dir` holds one, '\' otherwise.
char separator_for(std::string_view dir);

// Where symbolic links on the way to a directory are followed: within the
// first `followed` bytes of its name only (a directory named by the
// examiner), or, with kFollowAll, everywhere. A link past them fails the
// directory with ELOOP.
inline constexpr std::size_t kFollowAll = std::string_view::npos;

// The entries of `dir` in the order the file system returns them, "." and
// ".." left out. Each entry's type comes from its own status, symbolic links
// not followed; an entry whose status can't be had is left out. With
// Wildcards::expand, a component "*" (as in /mnt/*/Windows/Prefetch) stands
// for each subdirectory of the part before it in turn, and each resulting
// directory is listed. A directory that can't be read yields nothing; when
// `error` is given it receives the errno of the first directory that could
// not be opened (0 when every one could). Directories are read without
// updating their access times wherever the system allows it.
std::vector<DirectoryEntry> list_directory(std::string_view dir, Wildcards mode = Wildcards::expand,
                                           int* error = nullptr, std::size_t followed = kFollowAll);

// 0 when `dir` (its "*" components expanded) names at least one directory
// that can be listed; otherwise the errno that listing it gave (ENOENT when
// no directory matches the wildcards).
int directory_error(std::string_view dir, std::size_t followed = kFollowAll);

}  // namespace kerf::io
