#include "prefetch/header.h"

#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

// Windows 10 and 11 write two header layouts that differ in where the run
// count sits; the metrics array, which follows the header, starts at 304
// in the one and at 296 in the other.
constexpr std::uint32_t kMetricsAfterRunCountAt208 = 304;
constexpr std::uint32_t kMetricsAfterRunCountAt200 = 296;

constexpr std::uint64_t kRunTimeSlotsOffset = 128;
// The header size field must exceed this for the run information to count.
constexpr std::uint32_t kMinHeaderSizeForRunInfo = 227;

}  // namespace

std::uint32_t PrefetchHeader::volume_entry_size() const noexcept {
  switch (version) {
    case kVersionVista:
    case kVersionWin8: return 104;
    case kVersionWin10:
    case kVersionWin11: return 96;
    default: return 40;
  }
}

bool PrefetchHeader::has_run_time_slots() const noexcept {
  return version == kVersionWin8 || version == kVersionWin10 || version == kVersionWin11;
}

std::optional<RunInfoLayout> PrefetchHeader::run_info_layout() const noexcept {
  if (header_size <= kMinHeaderSizeForRunInfo) return std::nullopt;
  switch (version) {
    case kVersionXp: return RunInfoLayout{120, 144, 1};
    case kVersionVista: return RunInfoLayout{128, 152, 1};
    case kVersionWin8: return RunInfoLayout{kRunTimeSlotsOffset, 208, 8};
    case kVersionWin10:
    case kVersionWin11:
      if (metrics_offset == kMetricsAfterRunCountAt208) return RunInfoLayout{kRunTimeSlotsOffset, 208, 8};
      if (metrics_offset == kMetricsAfterRunCountAt200) return RunInfoLayout{kRunTimeSlotsOffset, 200, 8};
      return std::nullopt;
    default: return std::nullopt;
  }
}

bool is_prefetch_image(const io::ByteReader& image) noexcept {
  return image.size() >= kMinImageSize && image.matches(header_offset::kSignature, kPrefetchSignature);
}

std::optional<PrefetchHeader> read_prefetch_header(const io::ByteReader& image) {
  if (!is_prefetch_image(image)) return std::nullopt;
  PrefetchHeader header;
  header.version = image.u32_or(header_offset::kVersion, 0);
  header.header_size = image.u32_or(header_offset::kHeaderSize, 0);
  // A name of exactly 30 units has no zero unit.
  header.exe_name_units =
      append_units_to_zero(image, header_offset::kExeName, kExeNameMaxUnits, header.exe_name).units;
  header.metrics_offset = image.u32_or(header_offset::kMetricsOffset, 0);
  header.file_name_count = image.u32_or(header_offset::kMetricsCount, 0);
  header.file_names_offset = image.u32_or(header_offset::kFileNamesOffset, 0);
  header.volumes_offset = image.u32_or(header_offset::kVolumesOffset, 0);
  return header;
}

std::optional<UnitRange> embedded_path_range(const io::ByteReader& image, const PrefetchHeader& header) {
  const bool keeps_one = header.version == kVersionWin11 ||
                         (header.version == kVersionWin10 && header.metrics_offset == kMetricsAfterRunCountAt200);
  if (!keeps_one) return std::nullopt;
  const std::uint64_t offset = image.u32_or(header_offset::kEmbeddedPathOffset, 0);
  const std::uint64_t size = image.u32_or(header_offset::kEmbeddedPathSize, 0);
  if (!image.fits(offset, size)) return std::nullopt;
  const std::uint64_t units = count_units_to_zero(image, offset, size / 2);
  if (units == 0) return std::nullopt;
  return UnitRange{offset, units};
}

}  // namespace kerf
