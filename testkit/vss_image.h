// Volume Shadow Copies made from nothing for tests: older states of an NTFS
// volume (made with ntfs_image.h) written as shadow-copy stores into the
// free space of the live one, by the kit's own writer (kerf_vss_writer, see
// testkit/vss_writer.cpp), so that libvshadow reads each store back as the
// older state it was made from, byte for byte. Every failure throws
// std::runtime_error with the writer's own message.
//
// Add the stores last: the clusters they take stay free in the live
// volume's $Bitmap, so a file written afterwards may overwrite them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/ntfs_image.h"

namespace kerf::testing {

// The built writer; empty when it was not built.
std::string vss_writer();

// Writes one store per older volume (each the size of the live one, oldest
// first) into `live_volume`, created at `creation_times` (FILETIME, rising,
// one per store; none gives midnight of 1 January 2020, 2 January, ...).
void add_shadow_copies(const std::string& live_volume, const std::vector<std::string>& older_volumes,
                       const std::vector<std::uint64_t>& creation_times);

// A Prefetch file as one state of the volume holds it.
struct PrefetchCopy {
  std::string name;  // in \Windows\Prefetch
  FileReference reference;
  std::uint32_t run_count = 0;
  std::vector<std::uint64_t> run_times;  // newest first
  std::vector<std::uint8_t> bytes;
};

struct PrefetchState {
  std::string volume;               // the volume in this state (for the live one, the live volume)
  std::uint64_t creation_time = 0;  // of the store holding it; 0 for the live volume
  std::vector<PrefetchCopy> files;  // in \Windows\Prefetch
  const PrefetchCopy* find(const std::string& name) const;
};

// Three states of \Windows\Prefetch on one volume: the live volume and two
// shadow copies (store 1 the oldest). Three executables show what only the
// copies tell:
//   CMD.EXE-4A81B364.pf      run count 12, then 14, then 2 in the live
//                            volume: the count was reset, and the copies
//                            hold the higher ones.
//   NOTEPAD.EXE-D8414F97.pf  run count 2, 9, 10 with the last 8 run times
//                            kept: oldest_only_time, its first run, is held
//                            by the oldest copy alone.
//   CALC.EXE-AC08706A.pf     in both copies, deleted from the live volume.
struct PrefetchHistory {
  std::string live_volume;
  std::vector<PrefetchState> states;  // oldest first: store 1, store 2, the live volume
  std::uint64_t oldest_only_time = 0;
};

// Builds the history in `folder` (the volumes of the older states are
// kept there next to the live one, for comparisons).
PrefetchHistory make_prefetch_history(const std::string& folder);

}  // namespace kerf::testing
