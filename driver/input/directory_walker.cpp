#include "driver/input/directory_walker.h"

#include <utility>

#include <cerrno>

#include "lib/io/directory.h"
#include "lib/io/system_error.h"
#include "lib/text/ascii.h"
#include "lib/text/escape.h"
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

// The part of the starting directory that leads to every directory it
// stands for: all of it (with its separator), or what comes before its
// first "*" component, whose expansions are found on the disk.
std::size_t typed_length(std::string_view start) {
  if (start.empty()) return 0;
  const char separator = io::separator_for(start);
  const char wildcard[] = {separator, '*', separator, '\0'};
  std::string base(start);
  if (base.back() != separator) base += separator;
  const std::size_t at = base.find(wildcard);
  return at == std::string::npos ? base.size() : at + 1;
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
  m_start = std::string(directory);
  std::string start = m_start;
  strip_long_path_prefix(start);
  m_followed = typed_length(start);
  m_pending.push_back({std::move(start), 0});
}

std::string DirectoryWalker::start_problem() const {
  std::string start = m_start;
  strip_long_path_prefix(start);
  const int error = io::directory_error(start, m_followed);
  if (error == 0) return {};
  std::string message = text::message_naming("prob reading directory ", m_start, ": ");
  message += error == ENOENT && start.find('*') != std::string::npos ? "no directory matches it" : io::system_error_text(error);
  // A name without "/" is a Windows path with "\" separators; the examiner
  // most likely meant a folder of that name here.
  if (start.find('/') == std::string::npos && io::directory_error("./" + start) == 0) {
    message += " (a name without \"/\" is read with \"\\\" separators: write ./";
    text::append_escaped(message, start);
    message += ")";
  }
  message += '\n';
  return message;
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
    int error = 0;
    std::vector<io::DirectoryEntry> entries = io::list_directory(directory.path, mode, &error, m_followed);
    // The starting directory's problem is told once, before the walk.
    if (error != 0 && directory.depth > 0) {
      m_problems.push_back(
          text::message_naming("prob reading directory ", directory.path, ": " + io::system_error_text(error) + "\n"));
      ++m_unreadable;
    }
    for (io::DirectoryEntry& entry : entries) {
      if (entry.is_directory) {
        if (directory.depth < m_depth_limit) m_pending.push_back({std::move(entry.path), directory.depth + 1});
      } else if (entry.is_directory_link || match_path(m_window, entry.path, m_patterns)) {
        strip_long_path_prefix(entry.path);
        m_found.push_back(std::move(entry.path));
      }
    }
  }
}

}  // namespace kerf
