#include "report/file_facts.h"

#include "lib/text/ascii.h"
#include "prefetch/file_name_hash.h"
#include "prefetch/loaded_file_fates.h"

namespace kerf {

NameHashMatch name_hash_match(const InputFile& input, const PrefetchRecord& record) {
  NameHashMatch match;
  match.name_hash = hash_in_file_name(input.name);
  if (match.name_hash) match.matches = *match.name_hash == record.stored_hash;
  return match;
}

std::uint64_t birth_stamp(const PrefetchRecord& record) noexcept {
  return record.run_count == 1 ? record.last_run_time : record.source.changed;
}

MftLookup loaded_file_fate(const PrefetchRecord& record, std::size_t index) {
  return index < record.loaded_file_fates.size() ? record.loaded_file_fates[index].lookup : MftLookup{};
}

std::string_view mft_state_label(MftState state) noexcept {
  switch (state) {
    case MftState::in_use: return "in use";
    case MftState::deleted: return "deleted";
    case MftState::reused: return "reused";
    case MftState::unknown: break;
  }
  return "unknown";
}

std::string_view moved_to(const PrefetchRecord& record, std::size_t index, const MftLookup& fate) {
  if (fate.state != MftState::in_use || fate.current_path.empty() || index >= record.loaded_files.size()) return {};
  std::string_view listed = record.loaded_files[index];
  if (const Volume* volume = volume_of_loaded_file(record, listed)) listed.remove_prefix(volume->device_path.size());
  return text::equals_ignoring_case(listed, fate.current_path) ? std::string_view() : fate.current_path;
}

}  // namespace kerf
