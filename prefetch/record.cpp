#include "prefetch/record.h"

namespace kerf {

std::string_view format_label(std::uint32_t version) noexcept {
  switch (version) {
    case 17: return "WinXP Prefetch";
    case 23: return "Vista/Win7 Prefetch";
    case 26: return "Win8 Prefetch";
    case 30: return "Win10 Prefetch";
    case 31: return "Win11 Prefetch";
    default: return "Prefetch";
  }
}

std::string_view container_label(ContainerKind kind) noexcept {
  switch (kind) {
    case ContainerKind::mam: return "MAM";
    case ContainerKind::mem0: return "MEM0";
    case ContainerKind::lz77: return "LZ77";
    case ContainerKind::none: break;
  }
  return "none";
}

std::string_view PrefetchRecord::format_label() const noexcept { return kerf::format_label(format_version); }

void PrefetchRecord::clear() {
  format_version = 0;
  container = ContainerKind::none;
  exe_name.clear();
  app_path.clear();
  run_count = 0;
  last_run_time = 0;
  previous_run_times.clear();
  run_times_in_order = true;
  loaded_files.clear();
  loaded_file_offsets.clear();
  volumes.clear();
  source = SourceFile{};
  stored_hash = 0;
  embedded_path.clear();
  file_references.clear();
  loaded_file_fates.clear();
  hash_check = HashCheck{};
  cut.reset();
  checksum_present = false;
  checksum_matches = false;
}

}  // namespace kerf
