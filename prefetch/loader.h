// Reading one Prefetch file from disk into the record: the file's own size,
// mode and times, a compressed container undone, the image parsed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lib/message_sink.h"
#include "prefetch/prefetch_entry.h"
#include "prefetch/xpress.h"

namespace kerf {

// The most of a file that is read: no Prefetch file comes near it.
constexpr std::uint32_t kMaxPrefetchFileSize = 16u * 1024u * 1024u;

// Buffers kept from one file to the next, so a bulk run does not allocate a
// fresh image for every file.
struct LoadBuffers {
  std::vector<std::uint8_t> image;
  xpress_adt decoder;  // its output and tables are reused too
};

// The file-system facts of a file, following symbolic links; times as
// FILETIME converted from whole Unix seconds. False (all outputs 0) for an
// empty name or a failed status query.
bool get_file_stats(const std::wstring& name, std::uint64_t& size, std::uint32_t& mode,
                    std::uint64_t& changed, std::uint64_t& modified, std::uint64_t& accessed);
// The same for a UTF-8 name, queried by its bytes exactly as given (so the
// status always belongs to the file that was read, even for a name whose
// UTF-8 is overlong and would re-encode differently).
bool get_file_stats(std::string_view utf8_name, std::uint64_t& size, std::uint32_t& mode,
                    std::uint64_t& changed, std::uint64_t& modified, std::uint64_t& accessed);

// Loads the file at `path` (UTF-8) into `entry`, which the caller has cleared.
// Writes "prob reading file %s\n" to `messages` when the file can't be read
// (nothing when `messages` is null, as with -quiet); other failures are
// silent.
bool load_prefetch_file(std::string_view path, qv::message_sink* messages, PrefetchEntry& entry,
                        LoadBuffers& buffers);

}  // namespace kerf
