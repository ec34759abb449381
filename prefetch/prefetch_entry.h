// The decoded content of one Prefetch file.
//
// One record lives in the run options and is reused for every input file: the
// driver clears it before each file, the loader and parser fill it, and one
// report layout reads it. All text is UTF-8; all times are FILETIME values
// (100-ns ticks since 1601-01-01 UTC).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lib/timeline_stamps.h"

namespace kerf {

struct PrefetchEntry {
  // Layout of the last decoded file ("Win10 Prefetch", ...). Survives
  // clear_entry: it is assigned only at the end of a successful parse.
  std::string format_label;
  std::uint32_t run_count = 0;
  std::string exe_name;
  std::string app_path;
  std::uint64_t source_size = 0;  // the Prefetch file's own size on disk
  std::uint32_t source_mode = 0;
  qv::TimelineStamps source_stamps;  // the Prefetch file's own times
  std::uint64_t last_run_time = 0;
  std::set<std::uint64_t> prev_run_times;  // older run times, no zero
  std::map<std::uint64_t, std::string> loaded_files;  // keyed by image offset
  std::vector<std::string> volume_paths;
  std::vector<std::uint64_t> volume_create_times;
  std::vector<std::uint32_t> volume_serials;
  std::vector<std::map<std::uint64_t, std::string>> volume_dirs;  // keys 1, 2, 3, ...
};

// Every field except format_label back to its empty state.
void clear_entry(PrefetchEntry& entry);

}  // namespace kerf
