// Reading one Prefetch file from disk into a record: the file's own size,
// mode and times, a compressed container undone, the image parsed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "prefetch/parser.h"
#include "prefetch/record.h"
#include "prefetch/xpress_decoder.h"

namespace kerf {

// Why a file gave no record.
enum class LoadError {
  none,
  unreadable,     // it could not be opened or read, or is empty
  no_status,      // its status could not be had after reading it
  bad_container,  // a compressed container that could not be undone
  unknown_compression,  // a "MAM" container whose compression method is not known
  not_prefetch,   // no Prefetch image, or a section outside it
};

// What loading one file came to.
struct LoadResult {
  LoadError error = LoadError::none;
  int system_error = 0;  // the errno of a failed open or read, when there was one

  bool ok() const noexcept { return error == LoadError::none; }
};

// Why a file gave no record, in words for the examiner ("not a Prefetch
// file"); empty for a file that loaded.
std::string describe(const LoadResult& result);

class PrefetchLoader {
 public:
  // The most of a file that is read: no Prefetch file comes near it.
  static constexpr std::uint32_t kMaxFileSize = 16u * 1024u * 1024u;

  PrefetchLoader() = default;
  explicit PrefetchLoader(const DecodeOptions& options) : m_options(options) {}

  // Loads the file at `path` into `record`, which is cleared first. The
  // loader keeps its buffers from one file to the next, so a bulk run does
  // not allocate a fresh image for every file.
  LoadResult load(std::string_view path, PrefetchRecord& record);

 private:
  DecodeOptions m_options;
  std::vector<std::uint8_t> m_image;
  XpressDecoder m_decoder;
};

// The file-system facts of a file, following symbolic links, queried by the
// bytes of its name exactly as given. False for an empty name or a failed
// status query.
bool read_source_file(std::string_view path, SourceFile& source);

}  // namespace kerf
