// The volume information block: an array of fixed-size entries, one per
// volume the executable touched, followed by each volume's device path, a
// block of file references (skipped here) and its directory names.
#include <cstdint>
#include <optional>
#include <string_view>

#include "lib/text/ascii.h"
#include "prefetch/sections.h"
#include "prefetch/utf16_names.h"

namespace kerf {

namespace {

// Offsets of the fields used within one volume entry.
namespace volume_field {
constexpr std::uint64_t kPathOffset = 0;  // counted from the start of the block
constexpr std::uint64_t kCreationTime = 8;
constexpr std::uint64_t kSerial = 16;
constexpr std::uint64_t kReferencesSize = 24;  // bytes between the path and the directory names
constexpr std::uint64_t kDirectoryCount = 32;
}  // namespace volume_field

constexpr std::uint64_t align8(std::uint64_t offset) { return (offset + 7) & ~std::uint64_t{7}; }

// The number of entries is not taken from the header: the device path of
// the first volume follows the entry array directly, so its offset divided
// by the entry size counts the entries. An offset with the top bit set counts
// as negative and gives no volumes.
std::int64_t volume_entry_count(std::uint32_t first_path_offset, std::uint32_t entry_size) {
  return static_cast<std::int32_t>(first_path_offset) / static_cast<std::int32_t>(entry_size);
}

// Directory names start on an 8-byte boundary after the device path, behind
// the file-reference block that is also padded to 8 bytes. Each name is a
// u16 count, that many units and a zero unit; zero words in front of a count
// are padding. The list ends at the entry's count, at the end of the image,
// or at a name that would run past the end.
void read_directories(const io::ByteReader& image, std::uint64_t after_path, std::uint32_t references_size,
                      std::uint32_t directory_count, Volume& volume) {
  io::ByteCursor cursor(image, align8(align8(after_path) + references_size));
  for (std::uint32_t number = 0; number < directory_count && !cursor.at_end(); ++number) {
    std::uint16_t units = 0;
    while (units == 0 && cursor.ok()) units = cursor.u16();
    if (!cursor.ok() || !image.fits(cursor.offset(), 2ull * units)) return;
    append_units(image, cursor.offset(), units, volume.directories.pending_text());
    volume.directories.end_name();
    volume.directory_ranges.push_back({cursor.offset(), units});
    cursor.skip(2ull * units + 2);  // the name and its zero unit
  }
}

// Windows 10 and later name a volume "\VOLUME{<creation time>-<serial>}",
// 16 and 8 hex digits. Whether such a name agrees with the creation time and
// serial of its own entry; nothing for a name of another form.
std::optional<bool> name_matches_entry(std::string_view device_path, std::uint64_t created, std::uint32_t serial) {
  constexpr std::string_view kOpen = "\\VOLUME{";
  constexpr std::size_t kLength = kOpen.size() + 16 + 1 + 8 + 1;
  if (device_path.size() != kLength || !device_path.starts_with(kOpen) || device_path[kOpen.size() + 16] != '-' ||
      device_path.back() != '}') {
    return std::nullopt;
  }
  const auto named_time = text::hex_value(device_path.substr(kOpen.size(), 16));
  const auto named_serial = text::hex_value(device_path.substr(kOpen.size() + 17, 8));
  if (!named_time || !named_serial) return std::nullopt;
  return *named_time == created && *named_serial == serial;
}

}  // namespace

bool read_volumes(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record) {
  const std::uint64_t block = header.volumes_offset;
  if (block > image.size()) return false;

  const auto first_path_offset = image.u32(block);
  if (!first_path_offset) return true;  // not even one entry's path offset: no volumes
  const std::uint32_t entry_size = header.volume_entry_size();
  const std::int64_t entries = volume_entry_count(*first_path_offset, entry_size);

  for (std::int64_t i = 0; i < entries; ++i) {
    const std::uint64_t entry = block + static_cast<std::uint64_t>(i) * entry_size;
    if (!image.fits(entry, entry_size)) break;

    const std::uint32_t path_field = image.u32_or(entry + volume_field::kPathOffset, 0);
    const std::uint64_t path = block + path_field;
    if (path_field == 0 || path > image.size()) break;

    Volume& volume = record.volumes.emplace_back();
    const UnitRun run = append_units_to_zero(image, path, (image.size() - path) / 2, volume.device_path);
    volume.serial = image.u32_or(entry + volume_field::kSerial, 0);
    volume.created = image.u64_or(entry + volume_field::kCreationTime, 0);
    volume.name_matches = name_matches_entry(volume.device_path, volume.created, volume.serial);
    const std::uint64_t after_path = path + 2 * run.units + (run.terminated ? 2 : 0);
    read_directories(image, after_path, image.u32_or(entry + volume_field::kReferencesSize, 0),
                     image.u32_or(entry + volume_field::kDirectoryCount, 0), volume);
  }
  return true;
}

}  // namespace kerf
