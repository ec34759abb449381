// The breadth-first walk of a directory tree for -enumdir: the files
// directly in the starting directory first, in the order the file system
// lists them, then those of each subdirectory, level by level, down to the
// depth asked for (0: the starting directory alone).
//
// The walk is lazy: a directory is listed only when every file found so far
// has been handed out, so memory holds the directories still to be listed
// and the names not yet handed out, never the whole tree. Symbolic links are
// never followed; a link, even one to a directory, is handed out as a file.
// Every file is screened by the input filter as it is listed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/input_filter.h"

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

 private:
  struct PendingDirectory {
    std::string path;
    std::uint32_t depth = 0;  // the starting directory has depth 0
  };

  const TimeWindow& m_window;
  const std::vector<FilterPattern>& m_patterns;
  std::uint32_t m_depth_limit;
  std::string m_start;
  std::deque<PendingDirectory> m_pending;
  std::deque<std::string> m_found;
  std::vector<std::string> m_problems;
};

// A path with the long-path prefix "\\?\" loses it, unless it is longer
// than 46 characters and the prefix is followed by "global".
void strip_long_path_prefix(std::string& path);

}  // namespace kerf
