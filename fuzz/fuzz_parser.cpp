// libFuzzer target: any byte string through the Prefetch parser. Every field
// of the record is read afterwards so that the sanitizers see all of it, and
// the record's invariants are checked after a successful parse.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "prefetch/parser.h"

namespace {

std::uint64_t touch(std::string_view text) {
  std::uint64_t sum = text.size();
  for (const char c : text) sum = sum * 31 + static_cast<unsigned char>(c);
  return sum;
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kerf::PrefetchRecord record;
  const bool parsed = kerf::parse_prefetch_image(std::span<const std::uint8_t>(data, size), record,
                                                 {.check_executable_hash = true, .read_file_references = true}) == kerf::ParseResult::ok;

  std::uint64_t sum = record.run_count + touch(record.exe_name) + touch(record.app_path) + record.last_run_time;
  for (const std::uint64_t time : record.previous_run_times) sum += time;
  for (const std::string_view name : record.loaded_files) sum += touch(name);
  for (const kerf::Volume& volume : record.volumes) {
    sum += touch(volume.device_path) + volume.created + volume.serial;
    for (const std::string_view name : volume.directories) sum += touch(name);
    sum += volume.name_matches.value_or(false);
  }
  sum += record.stored_hash + touch(record.embedded_path) + touch(record.hash_check.device_path);
  sum += record.hash_check.volume_number;
  for (const auto& reference : record.file_references) sum += reference ? reference->mft_entry : 1;
  volatile std::uint64_t sink = sum;
  (void)sink;

  if (parsed) {
    check(!record.format_label().empty());
    check(!record.app_path.empty());
    // The older runs as stored, empty slots left out; out of order only
    // when some time is newer than the one stored before it.
    const auto& older = record.previous_run_times;
    bool in_order = true;
    for (std::size_t i = 0; i < older.size(); ++i) {
      check(older[i] != 0);
      const std::uint64_t before = i == 0 ? record.last_run_time : older[i - 1];
      if (before != 0 && older[i] > before) in_order = false;
    }
    check(record.run_times_in_order == in_order);
    check(record.file_references.size() == record.loaded_files.size());
    check(record.loaded_file_offsets.size() == record.loaded_files.size());
    check(record.hash_check.verified == !record.hash_check.device_path.empty());
  }
  return 0;
}
