#include "lib/filter_match.h"

#include <sys/stat.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "lib/string_ops.h"
#include "lib/text_encoding.h"
#include "lib/uni/fileio.h"

namespace qv {

namespace {

// The file's modification time against the window. Names are handed to the
// system as the bytes they are, so a name that is not UTF-8 is still found.
bool inside_time_window(const cmd_params& options, std::string_view path) {
  if (!options.m_has_start_time && !options.m_has_stop_time) return true;
  if (path.find('\0') != std::string_view::npos) return false;
  const std::string native(path);
  struct stat status {};
  if (::stat(native.c_str(), &status) != 0) return false;
  const std::int64_t modified = status.st_mtim.tv_sec;
  // 0 is what a copy without times shows; neither it nor a time outside the
  // 32-bit range can be placed in a window.
  if (modified <= 0 || modified > std::numeric_limits<std::uint32_t>::max()) return false;
  if (options.m_has_start_time && modified < options.m_start_time.unix_seconds()) return false;
  if (options.m_has_stop_time && modified > options.m_stop_time.unix_seconds()) return false;
  return true;
}

// Whether the file holds `entry`'s content bytes at its offset. The file is
// opened the way the decoder opens it, so a FIFO or socket is refused rather
// than waited on.
bool content_matches(std::string_view path, const FilterEntry& entry) {
  uni::fileio file;
  if (!file.open_for_read(path)) return false;
  const std::uint64_t size = file.file_size();
  const std::uint64_t length = entry.content_bytes.size();
  if (entry.content_offset > size || length > size - entry.content_offset) return false;
  std::vector<std::uint8_t> found;
  if (!file.read_at(found, length, entry.content_offset)) return false;
  return found == entry.content_bytes;
}

// Directory test of a "/dir" entry: the first "/dir" in the directory part
// must end where the directory part ends or where its next component starts.
bool directory_matches(std::string_view directory, std::string_view pattern) {
  const std::size_t at = directory.find(pattern);
  if (at == std::string_view::npos) return false;
  const std::size_t end = at + pattern.size();
  return end == directory.size() || directory[end] == '/';
}

bool name_matches(const FilterEntry& entry, std::string_view name, std::string_view pattern) {
  if (entry.leading_wildcard && entry.trailing_wildcard) {
    return name.find(pattern) != std::string_view::npos;
  }
  if (entry.leading_wildcard) {
    // Only the first occurrence counts: x.pf.pf is not a "*.pf" name.
    const std::size_t at = name.find(pattern);
    return at != std::string_view::npos && at + pattern.size() == name.size();
  }
  if (entry.trailing_wildcard) return name.starts_with(pattern);
  return !pattern.empty() && name == pattern;
}

}  // namespace

bool match_path(const cmd_params& options, std::string_view path,
                const std::vector<FilterEntry>& filters) {
  if (path.empty()) return false;
  if (!inside_time_window(options, path)) return false;
  if (filters.empty()) return true;
  if (filters.size() == 1 && filters.front().match_all) return true;

  std::size_t split = path.rfind('\\');
  if (split == std::string_view::npos) split = path.rfind('/');
  const std::string_view directory_part =
      split == std::string_view::npos ? std::string_view() : path.substr(0, split);
  std::string name(split == std::string_view::npos ? path : path.substr(split + 1));
  to_lower(name);

  // Compared as UTF-8 bytes: for UTF-8 text a byte match is a character
  // match, and a name that is not UTF-8 can still be screened.
  std::optional<std::string> directory;  // lower-cased on first need
  std::optional<std::string> directory_slashed;
  for (const FilterEntry& entry : filters) {
    const std::string pattern = wide_to_utf8(entry.name_pattern);
    if (entry.is_path) {
      if (!directory) {
        directory.emplace(directory_part);
        to_lower(*directory);
      }
      bool found = directory_matches(*directory, pattern);
      if (!found && directory->find(pattern) == std::string::npos &&
          directory->find('\\') != std::string::npos) {
        if (!directory_slashed) {
          directory_slashed = *directory;
          replace_char(*directory_slashed, '\\', '/', false);
        }
        found = directory_matches(*directory_slashed, pattern);
      }
      if (found) return true;
    }
    if (entry.match_all) return true;
    if (name_matches(entry, name, pattern)) return true;
    if (!entry.leading_wildcard && !entry.trailing_wildcard && !entry.content_bytes.empty() &&
        content_matches(path, entry)) {
      return true;
    }
  }
  return false;
}

bool file_matches_filter(const cmd_params& options, std::string_view path,
                         const std::vector<FilterEntry>& filters) {
  if (path.empty()) return false;
  if (filters.empty()) return true;
  return match_path(options, path, filters);
}

}  // namespace qv
