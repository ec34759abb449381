// The header of a Prefetch image: where its fields live, what each format
// version keeps where, and the header read once into one struct.
//
// Internal to the parser; the public entry point is parser.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lib/io/byte_reader.h"
#include "prefetch/record.h"

namespace kerf {

// Image offsets of the header fields (little-endian).
namespace header_offset {
inline constexpr std::uint64_t kVersion = 0;
inline constexpr std::uint64_t kSignature = 4;         // "SCCA"
inline constexpr std::uint64_t kHeaderSize = 12;
inline constexpr std::uint64_t kExeName = 16;          // up to 30 UTF-16 units
inline constexpr std::uint64_t kPathHash = 76;
inline constexpr std::uint64_t kMetricsOffset = 84;    // the file-metrics array
inline constexpr std::uint64_t kMetricsCount = 88;     // one entry per loaded file
inline constexpr std::uint64_t kTraceChainsOffset = 92;
inline constexpr std::uint64_t kTraceChainsCount = 96;
inline constexpr std::uint64_t kFileNamesOffset = 100;
inline constexpr std::uint64_t kFileNamesSize = 104;  // bytes
inline constexpr std::uint64_t kVolumesOffset = 108;
inline constexpr std::uint64_t kVolumesCount = 112;
inline constexpr std::uint64_t kVolumesSize = 116;  // bytes, the entries and all they point to
// Windows 11, and Windows 10 in its later layout: where the executable's
// own full path stands in the image, and its size in bytes.
inline constexpr std::uint64_t kEmbeddedPathOffset = 212;
inline constexpr std::uint64_t kEmbeddedPathSize = 216;
}  // namespace header_offset

inline constexpr std::string_view kPrefetchSignature = "SCCA";
inline constexpr std::uint64_t kExeNameMaxUnits = 30;
// Smallest image that holds every header field the parser reads.
inline constexpr std::uint64_t kMinImageSize = 228;

inline constexpr std::uint32_t kVersionXp = 17;
inline constexpr std::uint32_t kVersionVista = 23;
inline constexpr std::uint32_t kVersionWin8 = 26;
inline constexpr std::uint32_t kVersionWin10 = 30;
inline constexpr std::uint32_t kVersionWin11 = 31;

// Where a version keeps its run information.
struct RunInfoLayout {
  std::uint64_t last_run_offset = 0;  // the single stamp, or run-time slot 1
  std::uint64_t run_count_offset = 0;
  unsigned slots = 1;  // Windows 8 and later keep eight run times
};

struct PrefetchHeader {
  std::uint32_t version = 0;
  std::uint32_t header_size = 0;
  std::string exe_name;  // UTF-8
  std::uint64_t exe_name_units = 0;  // its length as stored
  std::uint32_t metrics_offset = 0;
  std::uint32_t file_name_count = 0;
  std::uint32_t file_names_offset = 0;
  std::uint32_t volumes_offset = 0;

  // Size in bytes of one entry of the volume information array.
  std::uint32_t volume_entry_size() const noexcept;
  // Size in bytes of one entry of the file-metrics array, and of the trace
  // chains array.
  std::uint32_t metrics_entry_size() const noexcept { return version == kVersionXp ? 20 : 32; }
  std::uint32_t trace_chain_entry_size() const noexcept {
    return version == kVersionWin10 || version == kVersionWin11 ? 8 : 12;
  }
  // Whether the image keeps eight run-time slots.
  bool has_run_time_slots() const noexcept;
  // Where the run count and last run time stand; nothing when the header
  // size field is 227 or less, or the version (or the Windows 10/11 layout,
  // told apart by the metrics offset) keeps none.
  std::optional<RunInfoLayout> run_info_layout() const noexcept;
};

// At least 228 bytes with "SCCA" at offset 4. The version is not examined.
bool is_prefetch_image(const io::ByteReader& image) noexcept;

// The header of a Prefetch image; nothing when it is not one.
std::optional<PrefetchHeader> read_prefetch_header(const io::ByteReader& image);

// The executable's full path as the header points to it (up to its first
// zero unit), in the versions that keep one; nothing when the version has
// none, the path is empty, or it does not lie wholly inside the image.
std::optional<UnitRange> embedded_path_range(const io::ByteReader& image, const PrefetchHeader& header);

}  // namespace kerf
