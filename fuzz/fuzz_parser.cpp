// libFuzzer target: any byte string through the Prefetch parser. Every field
// of the record is read afterwards so that the sanitizers see all of it, and
// the record's invariants are checked after a successful parse.
#include <cstddef>
#include <cstdint>
#include <span>

#include "prefetch/prefetch_parser.h"

namespace {

std::uint64_t touch(const std::string& text) {
  std::uint64_t sum = text.size();
  for (const char c : text) sum = sum * 31 + static_cast<unsigned char>(c);
  return sum;
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kerf::PrefetchEntry entry;
  const bool parsed = kerf::parse_prefetch_image(std::span<const std::uint8_t>(data, size), entry);

  std::uint64_t sum = touch(entry.format_label) + entry.run_count + touch(entry.exe_name) +
                      touch(entry.app_path) + entry.last_run_time;
  for (const std::uint64_t time : entry.prev_run_times) sum += time;
  for (const auto& [offset, name] : entry.loaded_files) sum += offset + touch(name);
  for (const std::string& path : entry.volume_paths) sum += touch(path);
  for (const std::uint64_t time : entry.volume_create_times) sum += time;
  for (const std::uint32_t serial : entry.volume_serials) sum += serial;
  for (const auto& dirs : entry.volume_dirs) {
    for (const auto& [number, name] : dirs) sum += number + touch(name);
  }
  volatile std::uint64_t sink = sum;
  (void)sink;

  if (parsed) {
    check(!entry.format_label.empty());
    check(!entry.app_path.empty());
    check(entry.volume_create_times.size() == entry.volume_paths.size());
    check(entry.volume_serials.size() == entry.volume_paths.size());
    check(entry.volume_dirs.size() == entry.volume_paths.size());
    check(!entry.prev_run_times.contains(0));
    for (const auto& [offset, name] : entry.loaded_files) check(offset < size);
    for (const auto& dirs : entry.volume_dirs) {
      std::uint64_t expected = 1;
      for (const auto& entry_in_list : dirs) check(entry_in_list.first == expected++);
    }
  }
  return 0;
}
