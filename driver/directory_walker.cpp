#include "driver/directory_walker.h"

#include <utility>

#include "lib/io/directory.h"
#include "lib/text/ascii.h"
#include "lib/text/utf8.h"

namespace kerf {

namespace {

constexpr std::string_view kLongPathPrefix = "\\\\?\\";
// A long-path name up to this many characters never names a device
// ("\\?\GLOBALROOT\Device\..."), so its prefix can always go.
constexpr std::size_t kShortLongPath = 46;

std::size_t count_characters(std::string_view text) {
  std::size_t count = 0;
  for (; !text.empty(); ++count) text.remove_prefix(text::decode_utf8_char(text).length);
  return count;
}

}  // namespace

void strip_long_path_prefix(std::string& path) {
  if (!path.starts_with(kLongPathPrefix) || path.size() <= kLongPathPrefix.size()) return;
  const std::size_t length = count_characters(path);
  const std::string after = text::lowered(std::string_view(path).substr(kLongPathPrefix.size(), 6));
  if (length <= kShortLongPath || after != "global") path.erase(0, kLongPathPrefix.size());
}

DirectoryWalker::DirectoryWalker(std::string_view directory, std::uint32_t depth_limit, const TimeWindow& window,
                                 const std::vector<FilterPattern>& patterns)
    : m_window(window), m_patterns(patterns), m_depth_limit(depth_limit) {
  std::string start(directory);
  strip_long_path_prefix(start);
  m_pending.push_back({std::move(start), 0});
}

bool DirectoryWalker::next(std::string& path) {
  for (;;) {
    if (!m_found.empty()) {
      path = std::move(m_found.front());
      m_found.pop_front();
      return true;
    }
    if (m_pending.empty()) return false;
    PendingDirectory directory = std::move(m_pending.front());
    m_pending.pop_front();
    strip_long_path_prefix(directory.path);
    // Only the starting directory is the user's text; a "*" in a directory
    // found on disk is that directory's real name.
    const io::Wildcards mode = directory.depth == 0 ? io::Wildcards::expand : io::Wildcards::literal;
    for (io::DirectoryEntry& entry : io::list_directory(directory.path, mode)) {
      if (entry.is_directory) {
        if (directory.depth < m_depth_limit) m_pending.push_back({std::move(entry.path), directory.depth + 1});
      } else if (match_path(m_window, entry.path, m_patterns)) {
        strip_long_path_prefix(entry.path);
        m_found.push_back(std::move(entry.path));
      }
    }
  }
}

}  // namespace kerf
