// The names a bulk run decodes, one at a time: lines piped in on standard
// input (-pipe), or the files found by a breadth-first walk of a directory
// tree (-enumdir, -num_subdirs).
//
// The walk is lazy: a directory is listed only when every file found so far
// has been handed out, so memory holds the directories still to be listed
// and the names not yet handed out, never the whole tree. Symbolic links are
// never followed; a link, even one to a directory, is handed out as a file.
//
// Names are kept as the bytes the file system gave: a name that is not UTF-8
// is handed out unchanged, so that the examiner hears about it when it can't
// be decoded rather than never seeing it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "lib/cmd_params.h"
#include "lib/input_filter.h"
#include "lib/uni/stdin_stream.h"

namespace qvportdir {

// A directory still to be listed; the starting directory has depth 0, its
// subdirectories depth 1, and so on.
struct DirQueueItem {
  std::string path;
  std::uint32_t depth = 0;
};

class stdin_stream_ex : public uni::stdin_stream {
 public:
  // `options` supplies the time window of the filter; it must outlive the
  // stream. Lines come from `input` (standard input) until a directory is
  // opened.
  explicit stdin_stream_ex(const qv::cmd_params& options, std::FILE* input = stdin);
  ~stdin_stream_ex() override;

  // While a walk is on, the next file found (`trim` has no effect);
  // otherwise the next line of the input.
  bool read_line(std::string& line, bool trim) override;
  bool read_wide_line(std::wstring& line, bool trim) override;

  // Names come from the input from now on. Always true.
  bool open_stdin();

  // Starts a walk of `dir`, listing it and `depth_limit` levels of
  // subdirectories below it; files must pass match_path with `filters`
  // (copied). False only for an empty `dir`: a directory that can't be
  // listed simply yields nothing.
  bool open_directory(std::string_view dir, std::uint32_t depth_limit,
                      const std::vector<qv::FilterEntry>& filters);

  // Clears `line` and puts the next name into it; false when there is none.
  bool next_name(std::string& line, bool trim) { return read_line(line, trim); }

  // A file must pass the filter (the time window applies even when the list
  // is empty). A path with the long-path prefix "\\?\" loses it, unless it
  // is longer than 46 characters and the prefix is followed by "global".
  // False when the path is refused; `path` may be rewritten.
  bool accept_enum_path(std::string& path, bool is_directory) const;

  bool is_enumerating() const noexcept { return m_enumerating; }

 private:
  bool next_found_file(std::string& line);

  const qv::cmd_params& m_options;
  std::deque<DirQueueItem> m_pending_dirs;
  std::deque<std::string> m_found_files;
  std::uint32_t m_depth_limit = 0;
  std::vector<qv::FilterEntry> m_filters;
  bool m_enumerating = false;
};

}  // namespace qvportdir
