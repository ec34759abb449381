// Opening a name that came from the file system (a pipe, a directory walk)
// without following any symbolic link on its way: a link planted in an
// evidence tree must not lead kerf to a file outside it, whether it stands
// for the file itself or for one of the directories above it.
//
// Only the leading part of a name that the examiner typed (the directory a
// walk starts from) may pass through links: the examiner chose it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace kerf::io {

// Opens `path` (no NUL in it) with the open(2) `flags` (O_CLOEXEC is added)
// and `mode`. Symbolic links are followed within its first `followed` bytes
// only; any component after them, the last one included, that is a link
// fails with ELOOP. The descriptor, or -1 with errno set.
//
// Where the kernel offers openat2(2) the whole rest of the name is resolved
// by it, in one step; elsewhere component by component, each opened without
// following links.
int open_without_links(std::string_view path, std::size_t followed, int flags, mode_t mode = 0);

}  // namespace kerf::io
