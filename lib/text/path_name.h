// The name part of a path. Examiners hand kerf paths written with Windows
// separators ('\') as well as POSIX ones ('/'); a path that holds a '\' is
// split at its last '\', any other at its last '/'.
#pragma once

#include <cstddef>
#include <string_view>

namespace kerf::text {

// Position of the last '\', or when there is none of the last '/'; npos when
// the path holds neither.
constexpr std::size_t last_path_separator(std::string_view path) noexcept {
  const std::size_t backslash = path.rfind('\\');
  return backslash != std::string_view::npos ? backslash : path.rfind('/');
}

}  // namespace kerf::text
