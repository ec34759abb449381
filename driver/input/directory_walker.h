// The breadth-first walk of a directory tree for -enumdir: the files
// directly in the starting directory first, in the order the file system
// lists them, then those of each subdirectory, level by level, down to the
// depth asked for (0: the starting directory alone).
//
// The walk is lazy: a directory is listed only when every file found so far
// has been handed out, so memory holds the directories still to be listed
// and the names not yet handed out, never the whole tree. Symbolic links are
// never followed below the starting directory as the examiner typed it (up
// to its first "*" component): a link is handed out as a file, so that the
// decoder names it as a link not followed; a link to a directory is handed
// out whatever the filter says, since the part of the tree it leads to is
// not searched. Every file is screened by the input filter as it is listed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/input/input_filter.h"

namespace kerf {

class DirectoryWalker {
 public:
  // `window` and `patterns` must outlive the walker.
  DirectoryWalker(std::string_view directory, std::uint32_t depth_limit, const TimeWindow& window,
                  const std::vector<FilterPattern>& patterns);

  // The next file found that passes the filter; false when the tree is
  // exhausted.
  bool next(std::string& path);

  // Why the starting directory yields nothing, as one message line ("prob
  // reading directory X: reason"); empty when it can be listed.
  std::string start_problem() const;

  // The message lines for the directories below the start that could not be
  // listed since the last call, in the order they were met: a part of the
  // tree that was not searched is never passed over in silence.
  std::vector<std::string> take_problems() { return std::exchange(m_problems, {}); }

  // How many directories below the start could not be listed so far.
  std::uint64_t unreadable_directories() const noexcept { return m_unreadable; }

  // How many leading bytes of every name handed out the examiner typed (the
  // starting directory up to its first "*" component): the only part where
  // a symbolic link is followed.
  std::size_t followed_length() const noexcept { return m_followed; }

 private:
  struct PendingDirectory {
    std::string path;
    std::uint32_t depth = 0;  // the starting directory has depth 0
  };

  const TimeWindow& m_window;
  const std::vector<FilterPattern>& m_patterns;
  std::uint32_t m_depth_limit;
  std::string m_start;
  std::size_t m_followed = 0;
  std::uint64_t m_unreadable = 0;
  std::deque<PendingDirectory> m_pending;
  std::deque<std::string> m_found;
  std::vector<std::string> m_problems;
};

// A path with the long-path prefix "\\?\" loses it, unless it is longer
// than 46 characters and the prefix is followed by "global".
void strip_long_path_prefix(std::string& path);

}  // namespace kerf
