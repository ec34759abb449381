#include "prefetch/parser.h"

#include "prefetch/hash_check.h"
#include "prefetch/header.h"
#include "prefetch/sections.h"
#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

// The run times as Windows stored them. Slot 1 is the run Windows recorded
// last; slots 2 to 8 are the runs before it, each slot one recorded run
// (zeros are empty slots). Windows writes them newest first, but not always:
// instances of one program that overlap are recorded as their traces end,
// and a clock set back leaves older slots with later times. Neither the last
// run nor the order is worked out from the values, so nothing is dropped,
// shown twice or moved; whether the stored times run newest first is kept.
void read_run_times(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record) {
  if (const auto layout = header.run_info_layout()) {
    record.last_run_time = image.u64_or(layout->last_run_offset, 0);
    record.run_count = image.u32_or(layout->run_count_offset, 0);
  }
  if (!header.has_run_time_slots()) return;
  constexpr std::uint64_t kSlot2 = 136;
  std::uint64_t newer = record.last_run_time;  // the last non-zero time met
  for (unsigned slot = 0; slot < 7; ++slot) {
    const std::uint64_t time = image.u64_or(kSlot2 + 8ull * slot, 0);
    if (time == 0) continue;
    record.previous_run_times.push_back(time);
    if (newer != 0 && time > newer) record.run_times_in_order = false;
    newer = time;
  }
}

// Whether the section of `size` bytes at the offset the header field
// `offset_field` holds was read whole.
bool section_read(const io::ByteReader& image, std::uint64_t offset_field, std::uint64_t size) {
  return image.fits(image.u32_or(offset_field, 0), size);
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
  // A find cut short keeps only the sections it holds whole: a name list
  // cut in the middle would pass for the whole list.
  if (record.cut) {
    record.cut->loaded_files =
        !section_read(image, header_offset::kFileNamesOffset, image.u32_or(header_offset::kFileNamesSize, 0)) ||
        !section_read(image, header_offset::kMetricsOffset, std::uint64_t{header->file_name_count} * header->metrics_entry_size());
    record.cut->volumes = !section_read(image, header_offset::kVolumesOffset, image.u32_or(header_offset::kVolumesSize, 0));
  }
  const bool names_read = !record.cut || !record.cut->loaded_files;
  const bool volumes_read = !record.cut || !record.cut->volumes;
  if (names_read) {
    if (!read_loaded_files(image, *header, record)) return ParseResult::sections_outside;
    if (options.read_file_references) read_file_references(image, *header, record);
  }
  if (volumes_read && !read_volumes(image, *header, record)) return ParseResult::sections_outside;
  const std::optional<HashCheck> directories = find_app_path(image, *header, record);
  const std::optional<UnitRange> embedded = embedded_path_range(image, *header);
  if (embedded) append_units(image, embedded->offset, embedded->units, record.embedded_path);
  // Without every name and directory, "no path gives the hash" would not be
  // known.
  if (options.check_executable_hash && names_read && volumes_read) {
    check_executable_hash(image, *header, embedded, directories, record);
  }
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

ParseResult parse_carved_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                               const DecodeOptions& options) {
  return parse_plain_image(image, record, options);
}

ParseResult parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                                 const DecodeOptions& options) {
  codec::XpressDecoder decoder;
  return parse_prefetch_image(image, record, options, decoder);
}

}  // namespace kerf
