#include "prefetch/prefetch_header.h"

#include <algorithm>
#include <optional>

#include "prefetch/prefetch_parser.h"
#include "prefetch/utf16_units.h"

namespace kerf {

namespace prefetch_header {

std::wstring read_exe_name(const qv::ByteReader& image) {
  std::wstring name;
  for (std::uint64_t i = 0; i < kExeNameMaxUnits; ++i) {
    const auto unit = image.u16(kExeNameOffset + 2 * i);
    if (!unit || *unit == 0) break;
    name.push_back(static_cast<wchar_t>(*unit));
  }
  return name;
}

}  // namespace prefetch_header

using namespace prefetch_header;

bool is_prefetch_image(std::span<const std::uint8_t> image) {
  const qv::ByteReader reader{image};
  return reader.size() >= kMinImageSize && reader.matches(kSignatureOffset, kSignature);
}

namespace {

struct RunInfoLayout {
  std::uint64_t last_run_offset = 0;
  std::uint64_t run_count_offset = 0;
  bool slots = false;  // eight run-time slots instead of one stamp
};

// Where this image keeps its run information; nothing for versions (and
// Windows 10/11 layout selectors) that have none.
std::optional<RunInfoLayout> run_info_layout(const qv::ByteReader& image) {
  switch (format_version(image)) {
    case kVersionXp: return RunInfoLayout{120, 144, false};
    case kVersionVista: return RunInfoLayout{128, 152, false};
    case kVersionWin8: return RunInfoLayout{kRunTimeSlotsOffset, 208, true};
    case kVersionWin10:
    case kVersionWin11:
      switch (image.u32_or(kLayoutSelectorOffset, 0)) {
        case kSelectorRunCountAt208: return RunInfoLayout{kRunTimeSlotsOffset, 208, true};
        case kSelectorRunCountAt200: return RunInfoLayout{kRunTimeSlotsOffset, 200, true};
        default: return std::nullopt;
      }
    default: return std::nullopt;
  }
}

}  // namespace

bool read_run_info(std::span<const std::uint8_t> image, std::uint64_t& last_run_time,
                   std::uint32_t& run_count) {
  last_run_time = 0;
  run_count = 0;
  const qv::ByteReader reader{image};
  if (!reader.matches(kSignatureOffset, kSignature)) return false;
  if (reader.u32_or(kHeaderSizeOffset, 0) <= kMinHeaderSizeForRunInfo) return false;
  const auto layout = run_info_layout(reader);
  if (!layout) return false;

  const unsigned slots = layout->slots ? kRunTimeSlots : 1;
  if (!reader.fits(layout->last_run_offset, 8ull * slots) || !reader.fits(layout->run_count_offset, 4)) {
    return false;
  }
  // The newest run is the largest stamp, whichever slot holds it.
  std::uint64_t newest = 0;
  for (unsigned slot = 0; slot < slots; ++slot) {
    newest = std::max(newest, reader.u64_or(layout->last_run_offset + 8ull * slot, 0));
  }
  last_run_time = newest;
  run_count = reader.u32_or(layout->run_count_offset, 0);
  return true;
}

}  // namespace kerf
