// Reading one Prefetch file from its source into a record: the file's own
// facts (taken before anything is read, so they are the times the file had),
// a compressed container undone, the image parsed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/xpress_decoder.h"
#include "prefetch/parser.h"
#include "prefetch/record.h"
#include "sources/input_source.h"

namespace kerf {

// Why a file gave no record.
enum class LoadError {
  none,
  cannot_open,        // the system refused to open it (system_error says why)
  not_regular,        // a FIFO or a socket: never waited on
  symbolic_link,      // a link met where links are not followed
  is_directory,
  empty,
  cannot_read,        // opened, but reading failed (system_error says why)
  unreadable,         // a file in a volume whose data can't be read whole (reason says why)
  excluded,           // the file is one kerf writes to (results, diagnostics)
  container_too_large,  // a container declaring more than any Prefetch file holds
  compressed_damaged,   // compressed data that does not decode
  compressed_ends_early,  // compressed data that stops before its declared size
  unknown_compression,  // a "MAM" container whose compression method is not known
  not_prefetch,       // no Prefetch image
  sections_outside,   // a Prefetch image whose sections lie outside it
};

// What loading one file came to.
struct LoadResult {
  LoadError error = LoadError::none;
  int system_error = 0;  // the errno of a failed open or read, when there was one
  const char* reason = nullptr;  // for `unreadable`: a string with static storage

  bool ok() const noexcept { return error == LoadError::none; }
};

// Why a file gave no record, in words for the examiner ("not a Prefetch
// file", "permission denied"); empty for a file that loaded.
std::string describe(const LoadResult& result);

// Whether the first bytes of a file are those of a Prefetch file: a
// compressed container's signature, or "SCCA" at offset 4. kerf's own
// results never start like that.
bool starts_like_prefetch_file(std::span<const std::uint8_t> head) noexcept;

class PrefetchLoader {
 public:
  // The most of a file that is read: no Prefetch file comes near it.
  static constexpr std::uint32_t kMaxFileSize = 16u * 1024u * 1024u;

  PrefetchLoader() = default;
  explicit PrefetchLoader(const DecodeOptions& options) : m_options(options) {}

  // Loads the file `source` holds into `record`, which is cleared first.
  // The loader keeps its buffers from one file to the next, so a bulk run
  // does not allocate a fresh image for every file.
  LoadResult load(InputSource& source, PrefetchRecord& record);

  const DecodeOptions& options() const noexcept { return m_options; }
  // The decoded Prefetch image of the last file loaded.
  std::span<const std::uint8_t> image() const noexcept { return m_image; }

 private:
  LoadResult read_file(InputSource& source, PrefetchRecord& record);
  LoadResult undo_container(PrefetchRecord& record);

  DecodeOptions m_options;
  std::vector<std::uint8_t> m_image;
  // Undoes the container a file is stored in, and one found inside that.
  codec::XpressDecoder m_decoder;
};

}  // namespace kerf
