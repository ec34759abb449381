// The volume information block: an array of fixed-size entries, one per
// volume the executable touched, followed by each volume's device path, a
// block of file references (skipped here) and its directory names.
#include <cstdint>

#include "prefetch/prefetch_header.h"
#include "prefetch/prefetch_parser.h"
#include "prefetch/utf16_units.h"

namespace kerf {

using namespace prefetch_header;

namespace {

// Offsets of the fields used within one volume entry.
constexpr std::uint64_t kPathOffsetField = 0;
constexpr std::uint64_t kCreationTimeField = 8;
constexpr std::uint64_t kSerialField = 16;
constexpr std::uint64_t kGapSizeField = 24;
constexpr std::uint64_t kDirectoryCountField = 32;

constexpr std::uint64_t align8(std::uint64_t offset) { return (offset + 7) & ~std::uint64_t{7}; }

// The number of entries is not taken from the header: the device path of
// the first volume follows the entry array directly, so its offset divided
// by the entry size counts the entries. An offset with the top bit set counts
// as negative and gives no volumes.
std::int64_t volume_entry_count(std::uint32_t first_path_offset, std::uint32_t entry_size) {
  return static_cast<std::int32_t>(first_path_offset) / static_cast<std::int32_t>(entry_size);
}

// Directory names start on an 8-byte boundary after the device path, behind
// a gap of file references that is also padded to 8 bytes. Each name is a
// u16 count, that many units and a zero unit. The list ends at the entry's
// count, at the end of the image, or at a name that would run past the end.
std::map<std::uint64_t, std::string> read_directories(const qv::ByteReader& image,
                                                      std::uint64_t after_path,
                                                      std::uint32_t gap_size,
                                                      std::uint32_t directory_count) {
  std::map<std::uint64_t, std::string> directories;
  std::uint64_t position = align8(align8(after_path) + gap_size);
  std::uint64_t number = 0;
  while (position < image.size() && number < directory_count) {
    // Zero words in front of a count are padding.
    std::uint16_t units = 0;
    do {
      const auto count = image.u16(position);
      if (!count) return directories;
      units = *count;
      position += 2;
    } while (units == 0);

    if (!image.fits(position, 2ull * units)) break;
    ++number;
    std::string& name = directories.try_emplace(directories.end(), number)->second;
    append_units(image, position, units, name);
    position += 2ull * units + 2;  // the name and its zero unit
  }
  return directories;
}

}  // namespace

bool read_volumes(std::span<const std::uint8_t> image, PrefetchEntry& entry) {
  if (!is_prefetch_image(image)) return false;
  const qv::ByteReader reader{image};
  const std::uint64_t block = reader.u32_or(kVolumesOffset, 0);
  if (block > reader.size()) return false;

  const auto first_path_offset = reader.u32(block);
  if (!first_path_offset) return true;  // not even one entry's path offset: no volumes
  const std::uint32_t entry_size = volume_entry_size(format_version(reader));
  const std::int64_t entries = volume_entry_count(*first_path_offset, entry_size);

  for (std::int64_t i = 0; i < entries; ++i) {
    const std::uint64_t entry_offset = block + static_cast<std::uint64_t>(i) * entry_size;
    if (!reader.fits(entry_offset, entry_size)) break;

    const std::uint32_t path_field = reader.u32_or(entry_offset + kPathOffsetField, 0);
    const std::uint64_t path = block + path_field;
    if (path_field == 0 || path > reader.size()) break;

    std::string device_path;
    const UnitRun run = append_units_to_zero(reader, path, (reader.size() - path) / 2, device_path);
    const std::uint64_t after_path = path + 2 * run.units + (run.terminated ? 2 : 0);

    entry.volume_serials.push_back(reader.u32_or(entry_offset + kSerialField, 0));
    entry.volume_paths.push_back(std::move(device_path));
    entry.volume_create_times.push_back(reader.u64_or(entry_offset + kCreationTimeField, 0));
    entry.volume_dirs.push_back(read_directories(reader, after_path,
                                                 reader.u32_or(entry_offset + kGapSizeField, 0),
                                                 reader.u32_or(entry_offset + kDirectoryCountField, 0)));
  }
  return true;
}

}  // namespace kerf
