#include "prefetch/parser.h"

#include <algorithm>

#include "prefetch/hash_check.h"
#include "prefetch/header.h"
#include "prefetch/sections.h"
#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

// The newest run is the largest stamp, whichever slot holds it. Slots 2 to
// 8 (slot 1 is the newest as Windows writes it) are the older runs.
void read_run_times(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record) {
  if (const auto layout = header.run_info_layout()) {
    for (unsigned slot = 0; slot < layout->slots; ++slot) {
      record.last_run_time = std::max(record.last_run_time, image.u64_or(layout->last_run_offset + 8ull * slot, 0));
    }
    record.run_count = image.u32_or(layout->run_count_offset, 0);
  }
  if (!header.has_run_time_slots()) return;
  constexpr std::uint64_t kSlot2 = 136;
  std::vector<std::uint64_t>& older = record.previous_run_times;
  for (unsigned slot = 0; slot < 7; ++slot) {
    const std::uint64_t time = image.u64_or(kSlot2 + 8ull * slot, 0);
    if (time != 0) older.push_back(time);
  }
  std::sort(older.begin(), older.end(), std::greater<>());
  older.erase(std::unique(older.begin(), older.end()), older.end());
}

ParseResult parse_plain_image(std::span<const std::uint8_t> bytes, PrefetchRecord& record,
                              const DecodeOptions& options) {
  const io::ByteReader image{bytes};
  const std::optional<PrefetchHeader> header = read_prefetch_header(image);
  if (!header) return ParseResult::not_prefetch;
  record.exe_name = header->exe_name;
  record.stored_hash = image.u32_or(header_offset::kPathHash, 0);
  // An image without usable run information is still decoded; the run
  // count and last run time then stay 0.
  read_run_times(image, *header, record);
  if (!read_loaded_files(image, *header, record)) return ParseResult::sections_outside;
  if (options.read_file_references) read_file_references(image, *header, record);
  if (!read_volumes(image, *header, record)) return ParseResult::sections_outside;
  const std::optional<UnitRange> embedded = embedded_path_range(image, *header);
  if (embedded) append_units(image, embedded->offset, embedded->units, record.embedded_path);
  if (options.check_executable_hash) check_executable_hash(image, *header, embedded, record);
  record.format_version = header->version;
  return ParseResult::ok;
}

}  // namespace

ParseResult parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                                 const DecodeOptions& options, codec::XpressDecoder& decoder) {
  // The loader undoes the container a file is stored in; this undoes a
  // container found inside that one.
  switch (decoder.decompress(image).status) {
    case codec::DecodeStatus::not_compressed: return parse_plain_image(image, record, options);
    case codec::DecodeStatus::ok: return parse_plain_image(decoder.output(), record, options);
    default: return ParseResult::not_prefetch;
  }
}

ParseResult parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                                 const DecodeOptions& options) {
  codec::XpressDecoder decoder;
  return parse_prefetch_image(image, record, options, decoder);
}

}  // namespace kerf
