// The decoded content of one Prefetch file, and the facts of the file itself.
//
// The loader fills a record; every report layout reads it and nothing else of
// the file. All text is UTF-8; all times are FILETIME values (100-ns ticks
// since 1601-01-01 UTC, 0 for "none"), turned into dates only by the reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "prefetch/name_list.h"

namespace kerf {

// How the file was stored on disk.
enum class ContainerKind : std::uint8_t {
  none,  // a plain Prefetch image
  mam,   // "MAM": Xpress Huffman blocks back to back (Windows 8.1 and later)
  mem0,  // "MEM0": Xpress Huffman blocks, each behind its compressed size
  lz77,  // 0x81 0x81 "xpress": one plain LZ77 block
};

// The Prefetch file as the file system shows it.
struct SourceFile {
  std::uint64_t size = 0;  // on disk, not decompressed
  std::uint32_t mode = 0;
  std::uint64_t modified = 0;  // FILETIMEs from whole Unix seconds
  std::uint64_t accessed = 0;
  std::uint64_t changed = 0;  // status change
};

struct Volume {
  std::string device_path;  // as the file stores it
  std::uint32_t serial = 0;
  std::uint64_t created = 0;
  NameList directories;  // in the volume's list order
};

struct PrefetchRecord {
  std::uint32_t format_version = 0;
  ContainerKind container = ContainerKind::none;
  std::string exe_name;  // from the header, at most 30 UTF-16 units
  // The first loaded file whose name holds the executable name (normally the
  // executable's full path); the header name when none does; "unk" when
  // that is empty.
  std::string app_path;
  std::uint32_t run_count = 0;
  std::uint64_t last_run_time = 0;
  std::vector<std::uint64_t> previous_run_times;  // older runs, newest first, no zero, no repeats
  NameList loaded_files;                          // in file order
  std::vector<Volume> volumes;
  SourceFile source;

  // "Win10 Prefetch", ...: the name of the format version.
  std::string_view format_label() const noexcept;

  // Everything back to its empty state; buffers keep their capacity.
  void clear();
};

// The name under which a decoded file of `version` is reported.
std::string_view format_label(std::uint32_t version) noexcept;

}  // namespace kerf
