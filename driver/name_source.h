// The names a bulk run decodes, one at a time: lines piped in on standard
// input (-pipe, which wins when both are given), or the files found by a
// walk of a directory tree (-enumdir). Names are kept as the bytes they
// are: a name that is not UTF-8 is handed out unchanged, so that the
// examiner hears about it rather than never seeing it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "driver/directory_walker.h"
#include "driver/run_settings.h"
#include "lib/io/line_reader.h"

namespace kerf {

class NameSource {
 public:
  // Names from `input` (-pipe) or from the walk of the settings' directory.
  // `settings` must outlive the source.
  NameSource(const InputSettings& settings, std::FILE* input = stdin);

  // False when the source can't be started (-enumdir with an empty name).
  bool is_open() const noexcept { return m_lines || m_walker; }

  // The next name that passes the input filter, empty lines skipped:
  // piped names are screened here, walked files as they are listed. False
  // when there is none.
  bool next(std::string& name);

 private:
  const InputSettings& m_settings;
  std::optional<io::LineReader> m_lines;
  std::optional<DirectoryWalker> m_walker;
};

}  // namespace kerf
