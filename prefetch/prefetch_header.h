// Where the fields of a Prefetch image header live, and what each format
// version means for the rest of the image.
//
// Internal to the parser: the public entry points are in prefetch_parser.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/byte_reader.h"

namespace kerf::prefetch_header {

// Image offsets of the header fields the parser reads.
inline constexpr std::uint64_t kVersionOffset = 0;
inline constexpr std::uint64_t kSignatureOffset = 4;
inline constexpr std::uint64_t kHeaderSizeOffset = 12;
inline constexpr std::uint64_t kExeNameOffset = 16;
inline constexpr std::uint64_t kLayoutSelectorOffset = 84;
inline constexpr std::uint64_t kFileNameCountOffset = 88;
inline constexpr std::uint64_t kFileNamesOffset = 100;
inline constexpr std::uint64_t kVolumesOffset = 108;

inline constexpr std::string_view kSignature = "SCCA";
inline constexpr std::uint64_t kExeNameMaxUnits = 30;

// Smallest image that holds every header field the parser reads.
inline constexpr std::uint64_t kMinImageSize = 228;
// The header size field must exceed this for the run information to count.
inline constexpr std::uint32_t kMinHeaderSizeForRunInfo = 227;

// Windows 8 and later keep eight run times; slot 1 is at kRunTimeSlotsOffset.
inline constexpr std::uint64_t kRunTimeSlotsOffset = 128;
inline constexpr unsigned kRunTimeSlots = 8;

inline constexpr std::uint32_t kVersionXp = 17;
inline constexpr std::uint32_t kVersionVista = 23;
inline constexpr std::uint32_t kVersionWin8 = 26;
inline constexpr std::uint32_t kVersionWin10 = 30;
inline constexpr std::uint32_t kVersionWin11 = 31;

// Windows 10 and 11 write two header layouts that differ in where the run
// count sits; the value at kLayoutSelectorOffset tells them apart.
inline constexpr std::uint32_t kSelectorRunCountAt208 = 304;
inline constexpr std::uint32_t kSelectorRunCountAt200 = 296;

inline std::uint32_t format_version(const qv::ByteReader& image) {
  return image.u32_or(kVersionOffset, 0);
}

// Versions that keep eight run-time slots instead of one time stamp.
inline bool has_run_time_slots(std::uint32_t version) {
  return version == kVersionWin8 || version == kVersionWin10 || version == kVersionWin11;
}

// Size in bytes of one entry of the volume information array.
inline std::uint32_t volume_entry_size(std::uint32_t version) {
  switch (version) {
    case kVersionVista:
    case kVersionWin8: return 104;
    case kVersionWin10:
    case kVersionWin11: return 96;
    default: return 40;
  }
}

// The name under which a decoded file of this version is reported.
inline std::string_view format_label(std::uint32_t version) {
  switch (version) {
    case kVersionXp: return "WinXP Prefetch";
    case kVersionVista: return "Vista/Win7 Prefetch";
    case kVersionWin8: return "Win8 Prefetch";
    case kVersionWin10: return "Win10 Prefetch";
    case kVersionWin11: return "Win11 Prefetch";
    default: return "Prefetch";
  }
}

// The executable name of the header: at most 30 UTF-16 units from offset 16,
// up to the first zero unit (a name of exactly 30 units has none).
std::wstring read_exe_name(const qv::ByteReader& image);

}  // namespace kerf::prefetch_header
