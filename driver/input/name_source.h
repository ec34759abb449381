// The names a bulk run decodes, one at a time: the names typed on the
// command line, lines piped in on standard input (-pipe, which wins over
// -enumdir), or the files found by a walk of a directory tree (-enumdir);
// then the files of the disk images named by -image, where -enumdir names
// the folder to read in each of their volumes; then, with -carve, the
// pieces of every stream to carve.
// Names are kept as the bytes they are: a name that is not UTF-8 is handed
// out unchanged, so that the examiner hears about it rather than never
// seeing it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "driver/input/carve_pieces.h"
#include "driver/input/directory_walker.h"
#include "driver/input/image_walk.h"
#include "driver/input/input_name.h"
#include "driver/cli/run_settings.h"
#include "lib/io/line_reader.h"

namespace kerf {

class NameSource {
 public:
  // `settings` and `images` (the opened -image images) must outlive the source.
  NameSource(const InputSettings& settings, std::FILE* input = stdin,
             const std::vector<std::unique_ptr<OpenedImage>>& images = {},
             const std::vector<std::unique_ptr<ByteStream>>& carve_streams = {});

  // Why the directory to walk yields nothing, as one message line; empty
  // when there is no such problem (or no walk).
  std::string start_problem() const;

  // Message lines about parts of a walked tree that could not be read, met
  // since the last call.
  std::vector<std::string> take_problems();

  // How many directories below a walk's start could not be listed.
  std::uint64_t unreadable_directories() const noexcept {
    return (m_walker ? m_walker->unreadable_directories() : 0) + m_images.unreadable_directories();
  }

  // How many leading bytes of each name the examiner typed, where symbolic
  // links are followed: a walk's starting directory; none of a piped name.
  std::size_t followed_length() const noexcept { return m_walker ? m_walker->followed_length() : 0; }

  // The next name that passes the input filter (the time window included),
  // empty lines skipped: typed and piped names are screened here, walked
  // files as they are listed.
  // False when there is none.
  bool next(InputName& name);

 private:
  bool next_host_file(std::string& name);

  const InputSettings& m_settings;
  std::size_t m_next_typed = 0;
  std::optional<io::LineReader> m_lines;
  std::optional<DirectoryWalker> m_walker;
  ImageWalk m_images;
  CarvePieces m_pieces;
};

}  // namespace kerf
