#include "prefetch/prefetch_entry.h"

namespace kerf {

void clear_entry(PrefetchEntry& entry) {
  entry.run_count = 0;
  entry.exe_name.clear();
  entry.app_path.clear();
  entry.source_size = 0;
  entry.source_mode = 0;
  entry.source_stamps.clear_stamps();
  entry.last_run_time = 0;
  entry.prev_run_times.clear();
  entry.loaded_files.clear();
  entry.volume_paths.clear();
  entry.volume_create_times.clear();
  entry.volume_serials.clear();
  entry.volume_dirs.clear();
}

}  // namespace kerf
