#include "report/file_facts.h"

#include "prefetch/file_name_hash.h"

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

}  // namespace kerf
