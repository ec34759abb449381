// Writes uncompressed Prefetch images of any format version for tests,
// benchmarks and sample files.
//
// The image is laid out like the files Windows writes: the 84-byte header,
// the file-information block (its size depends on the version), a small
// metrics array with one entry per file name, the file-name section, and the
// volume block (entry array, then per volume its device path, its
// file-reference data and its directory names, each part on an 8-byte
// boundary), and last the executable's own path when one is given. Patches,
// applied after the layout, can then set any field to any value, and the
// image can be cut short or padded last of all.
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

class PrefetchImageBuilder {
 public:
  explicit PrefetchImageBuilder(std::uint32_t version = 30) : m_version(version) {}

  // Value at offset 84 for versions 30 and 31: 304 (run count at 208, the
  // default) or 296 (run count at 200).
  PrefetchImageBuilder& layout_selector(std::uint32_t selector) { return set(m_selector, selector); }
  // At most 30 units are written; a name of exactly 30 has no zero unit.
  PrefetchImageBuilder& exe_name(std::wstring name) { return set(m_exe_name, std::move(name)); }
  PrefetchImageBuilder& path_hash(std::uint32_t hash) { return set(m_path_hash, hash); }
  // Run-time slots, slot 1 first (at most 8; versions 17 and 23 keep slot 1).
  PrefetchImageBuilder& run_times(std::vector<std::uint64_t> slots) { return set(m_run_times, std::move(slots)); }
  PrefetchImageBuilder& run_count(std::uint32_t count) { return set(m_run_count, count); }
  PrefetchImageBuilder& file_names(std::vector<std::wstring> names) { return set(m_file_names, std::move(names)); }
  PrefetchImageBuilder& add_volume(VolumeSpec volume) {
    m_volumes.push_back(std::move(volume));
    return *this;
  }
  // NTFS file references written into the metrics entries, in file-name
  // order (versions 23 and later; missing ones stay 0).
  PrefetchImageBuilder& file_references(std::vector<std::uint64_t> references) {
    return set(m_file_references, std::move(references));
  }
  // The executable's full path, written after the volume block with its
  // offset at 212 and its size in bytes (no zero unit) at 216.
  PrefetchImageBuilder& embedded_path(std::wstring path) { return set(m_embedded_path, std::move(path)); }

  // Patches, applied in order after the layout (the image grows with zeros
  // when a patch reaches past its end).
  PrefetchImageBuilder& patch_u32(std::uint64_t offset, std::uint32_t value) { return patch(offset, value, 4); }
  PrefetchImageBuilder& patch_u64(std::uint64_t offset, std::uint64_t value) { return patch(offset, value, 8); }
  // Cuts the image to `length` bytes or pads it with zeros, after the patches.
  PrefetchImageBuilder& resize(std::size_t length) { return set(m_length, length); }

  std::vector<std::uint8_t> build() const;

 private:
  struct Patch {
    std::uint64_t offset;
    std::uint64_t value;
    unsigned width;
  };

  template <typename Field, typename Value>
  PrefetchImageBuilder& set(Field& field, Value value) {
    field = std::move(value);
    return *this;
  }
  PrefetchImageBuilder& patch(std::uint64_t offset, std::uint64_t value, unsigned width) {
    m_patches.push_back({offset, value, width});
    return *this;
  }

  std::uint32_t m_version;
  std::uint32_t m_selector = 304;
  std::wstring m_exe_name;
  std::uint32_t m_path_hash = 0;
  std::vector<std::uint64_t> m_run_times;
  std::uint32_t m_run_count = 0;
  std::vector<std::wstring> m_file_names;
  std::vector<VolumeSpec> m_volumes;
  std::vector<std::uint64_t> m_file_references;
  std::optional<std::wstring> m_embedded_path;
  std::vector<Patch> m_patches;
  std::optional<std::size_t> m_length;
};

// A 32-bit field of a built image, such as where a section starts (the
// offsets at 84, 100 and 108, the offsets in a volume entry), for patches
// aimed at what the builder laid out.
inline std::uint32_t image_u32(const std::vector<std::uint8_t>& image, std::size_t at) {
  return image[at] | image[at + 1] << 8 | image[at + 2] << 16 | static_cast<std::uint32_t>(image[at + 3]) << 24;
}

}  // namespace kerf::testing
