// Writes uncompressed Prefetch images of any format version for tests, fuzz
// seeds, benchmarks and sample files.
//
// The image is laid out like the files Windows writes: the 84-byte header,
// the file-information block (its size depends on the version), a small
// metrics array with one entry per file name, the file-name section, and the
// volume block (entry array, then per volume its device path, its
// file-reference data and its directory names, each part on an 8-byte
// boundary), and last the executable's own path when one is given. Raw patches, applied after the layout, can then set any byte to
// any value, and the image can be cut short or padded last of all.
//
// Nothing is padded to a minimum size: a version-17 image with no names and
// no volumes is shorter than the 228 bytes a Prefetch image needs, as such
// a file would be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kerf::testing {

struct VolumeSpec {
  VolumeSpec() = default;
  VolumeSpec(std::wstring path, std::uint32_t serial_number, std::uint64_t created,
             std::vector<std::wstring> directory_names = {}, std::uint32_t gap_bytes = 0)
      : device_path(std::move(path)),
        serial(serial_number),
        creation_time(created),
        gap_size(gap_bytes),
        directories(std::move(directory_names)) {}

  std::wstring device_path;  // e.g. L"\\DEVICE\\HARDDISKVOLUME1"
  std::uint32_t serial = 0;
  std::uint64_t creation_time = 0;  // FILETIME
  // Bytes of file-reference data between the device path and the directory
  // names (written as a recognisable non-zero pattern).
  std::uint32_t gap_size = 0;
  std::vector<std::wstring> directories;
  // Zero words written in front of the first directory count.
  std::uint32_t leading_zero_words = 0;
  // The directory count of the entry; the number of names when not set.
  std::optional<std::uint32_t> directory_count;
};

// Where the builder put each part (image offsets, before patches and resizing).
struct VolumeLayout {
  std::uint64_t entry_offset = 0;
  std::uint64_t path_offset = 0;
  std::uint64_t gap_offset = 0;          // file-reference data, 8-byte aligned after the path
  std::uint64_t directories_offset = 0;  // leading zero words, then the first count
  std::uint64_t end_offset = 0;          // just past the last directory name
};

struct PrefetchImageLayout {
  std::uint64_t metrics_offset = 0;
  std::uint64_t file_names_offset = 0;
  std::vector<std::uint64_t> file_name_offsets;  // first unit of each name
  std::uint64_t file_names_end = 0;              // just past the last name's zero unit
  std::uint64_t volumes_offset = 0;
  std::uint32_t volume_entry_size = 0;
  std::vector<VolumeLayout> volumes;
  std::uint64_t embedded_path_offset = 0;  // 0 when there is none
  std::uint64_t length = 0;
};

class PrefetchImageBuilder {
 public:
  // Windows 10/11 header layouts: where the metrics array starts, which also
  // tells where the run count sits (208 or 200).
  static constexpr std::uint32_t kSelectorRunCountAt208 = 304;
  static constexpr std::uint32_t kSelectorRunCountAt200 = 296;

  explicit PrefetchImageBuilder(std::uint32_t version = 30);

  PrefetchImageBuilder& version(std::uint32_t version);
  // Value at offset 84 for versions 30 and 31 (default 304).
  PrefetchImageBuilder& layout_selector(std::uint32_t selector);
  // At most 30 units are written; a name of exactly 30 has no zero unit.
  PrefetchImageBuilder& exe_name(std::wstring name);
  PrefetchImageBuilder& path_hash(std::uint32_t hash);
  // Run-time slots, slot 1 first (at most 8; versions 17 and 23 keep slot 1).
  PrefetchImageBuilder& run_times(std::vector<std::uint64_t> slots);
  PrefetchImageBuilder& run_count(std::uint32_t count);
  // The header size field at offset 12 (default: the length of the image).
  PrefetchImageBuilder& header_size(std::uint32_t size);
  PrefetchImageBuilder& file_names(std::vector<std::wstring> names);
  PrefetchImageBuilder& add_file_name(std::wstring name);
  PrefetchImageBuilder& add_volume(VolumeSpec volume);
  // NTFS file references written into the metrics entries, in file-name
  // order (versions 23 and later; missing ones stay 0).
  PrefetchImageBuilder& file_references(std::vector<std::uint64_t> references);
  // The executable's full path, written after the volume block with its
  // offset at 212 and its size in bytes (no zero unit) at 216.
  PrefetchImageBuilder& embedded_path(std::wstring path);

  // Raw patches, applied in order after the layout (the image grows with
  // zeros when a patch reaches past its end).
  PrefetchImageBuilder& patch(std::uint64_t offset, std::vector<std::uint8_t> bytes);
  PrefetchImageBuilder& patch_u16(std::uint64_t offset, std::uint16_t value);
  PrefetchImageBuilder& patch_u32(std::uint64_t offset, std::uint32_t value);
  PrefetchImageBuilder& patch_u64(std::uint64_t offset, std::uint64_t value);
  // Cuts the image to `length` bytes or pads it with zeros, after the patches.
  PrefetchImageBuilder& resize(std::size_t length);

  std::vector<std::uint8_t> build() const;
  PrefetchImageLayout layout() const;

 private:
  struct Patch {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
  };

  std::vector<std::uint8_t> lay_out(PrefetchImageLayout& layout) const;

  std::uint32_t m_version;
  std::uint32_t m_selector = kSelectorRunCountAt208;
  std::wstring m_exe_name;
  std::uint32_t m_path_hash = 0;
  std::vector<std::uint64_t> m_run_times;
  std::uint32_t m_run_count = 0;
  std::optional<std::uint32_t> m_header_size;
  std::vector<std::wstring> m_file_names;
  std::vector<VolumeSpec> m_volumes;
  std::vector<std::uint64_t> m_file_references;
  std::optional<std::wstring> m_embedded_path;
  std::vector<Patch> m_patches;
  std::optional<std::size_t> m_length;
};

}  // namespace kerf::testing
