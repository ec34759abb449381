#include "prefetch/prefetch_parser.h"

#include "lib/text_encoding.h"
#include "prefetch/prefetch_header.h"
#include "prefetch/xpress.h"

namespace kerf {

using namespace prefetch_header;

namespace {

// Runs 2 to 8 of the eight run-time slots (slot 1 is the newest as Windows
// writes them and is reported as the last run instead).
void add_previous_run_times(const qv::ByteReader& image, std::set<std::uint64_t>& times) {
  for (unsigned slot = 1; slot < kRunTimeSlots; ++slot) {
    const std::uint64_t time = image.u64_or(kRunTimeSlotsOffset + 8ull * slot, 0);
    if (time != 0) times.insert(time);
  }
}

bool parse_plain_image(std::span<const std::uint8_t> image, PrefetchEntry& entry) {
  if (!is_prefetch_image(image)) return false;
  const qv::ByteReader reader{image};

  std::wstring exe_name = read_exe_name(reader);
  if (!exe_name.empty()) entry.exe_name = qv::wide_to_utf8(exe_name);

  // An image without usable run information is still decoded; the run
  // count and last run time then stay 0.
  std::uint64_t last_run_time = 0;
  std::uint32_t run_count = 0;
  if (read_run_info(image, last_run_time, run_count)) {
    entry.last_run_time = last_run_time;
    entry.run_count = run_count;
  }

  if (!read_loaded_files(image, exe_name, entry.loaded_files)) return false;
  entry.app_path = exe_name.empty() ? "unk" : qv::wide_to_utf8(exe_name);

  if (!read_volumes(image, entry)) return false;

  const std::uint32_t version = format_version(reader);
  entry.format_label = format_label(version);
  if (has_run_time_slots(version)) add_previous_run_times(reader, entry.prev_run_times);
  return true;
}

}  // namespace

bool parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchEntry& entry) {
  // The loader undoes the container a file is stored in; this undoes a
  // container found inside that one.
  if (xpress_adt::detect_container(image).kind != xpress_adt::kNone) {
    xpress_adt decoder;
    if (!decoder.decompress(image) || decoder.output().empty()) return false;
    return parse_plain_image(decoder.output(), entry);
  }
  return parse_plain_image(image, entry);
}

}  // namespace kerf
