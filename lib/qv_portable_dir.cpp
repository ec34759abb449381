#include "lib/qv_portable_dir.h"

#include <utility>

#include "lib/dir_listing.h"
#include "lib/filter_match.h"
#include "lib/string_ops.h"
#include "lib/text_encoding.h"

namespace qvportdir {

namespace {

constexpr std::string_view kLongPathPrefix = "\\\\?\\";
// A long-path name up to this many characters never names a device
// ("\\?\GLOBALROOT\Device\..."), so its prefix can always go.
constexpr std::size_t kShortLongPath = 46;

// Characters, not bytes: every byte that does not continue a UTF-8 sequence
// starts one.
std::size_t count_characters(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

stdin_stream_ex::stdin_stream_ex(const qv::cmd_params& options, std::FILE* input)
    : uni::stdin_stream(input), m_options(options) {}

stdin_stream_ex::~stdin_stream_ex() = default;

bool stdin_stream_ex::open_stdin() {
  m_enumerating = false;
  return true;
}

bool stdin_stream_ex::open_directory(std::string_view dir, std::uint32_t depth_limit,
                                     const std::vector<qv::FilterEntry>& filters) {
  if (dir.empty()) return false;
  m_pending_dirs.clear();
  m_found_files.clear();
  m_depth_limit = depth_limit;
  m_filters = filters;
  std::string start(dir);
  accept_enum_path(start, true);
  m_pending_dirs.push_back(DirQueueItem{std::move(start), 0});
  m_enumerating = true;
  return true;
}

bool stdin_stream_ex::accept_enum_path(std::string& path, bool is_directory) const {
  if (!is_directory && !qv::match_path(m_options, path, m_filters)) return false;
  const std::size_t length = count_characters(path);
  if (length >= kLongPathPrefix.size() + 1 && path.starts_with(kLongPathPrefix)) {
    std::string after = path.substr(kLongPathPrefix.size(), 6);
    qv::to_lower(after);
    if (length <= kShortLongPath || after != "global") path.erase(0, kLongPathPrefix.size());
  }
  return true;
}

bool stdin_stream_ex::read_line(std::string& line, bool trim) {
  if (!m_enumerating) return uni::stdin_stream::read_line(line, trim);
  line.clear();
  return next_found_file(line);
}

bool stdin_stream_ex::read_wide_line(std::wstring& line, bool trim) {
  if (!m_enumerating) return uni::stdin_stream::read_wide_line(line, trim);
  line.clear();
  std::string bytes;
  if (!next_found_file(bytes)) return false;
  line = qv::utf8_to_wide(bytes);
  return true;
}

bool stdin_stream_ex::next_found_file(std::string& line) {
  for (;;) {
    if (!m_found_files.empty()) {
      line = std::move(m_found_files.front());
      m_found_files.pop_front();
      return true;
    }
    if (m_pending_dirs.empty()) return false;
    DirQueueItem item = std::move(m_pending_dirs.front());
    m_pending_dirs.pop_front();
    if (item.depth > m_depth_limit) continue;  // below the searched levels

    accept_enum_path(item.path, true);
    // Only the starting directory is the user's text; a "*" in a directory
    // found on disk is that directory's real name.
    const wildcards mode = item.depth == 0 ? wildcards::expand : wildcards::literal;
    for (dir_entry& entry : list_directory(item.path, "*.*", mode)) {
      if (entry.is_directory) {
        // One beyond the limit would only be dropped when its turn came.
        if (item.depth < m_depth_limit) {
          m_pending_dirs.push_back(DirQueueItem{std::move(entry.path), item.depth + 1});
        }
      } else if (accept_enum_path(entry.path, false)) {
        m_found_files.push_back(std::move(entry.path));
      }
    }
  }
}

}  // namespace qvportdir
