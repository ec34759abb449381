#include "testkit/prefetch_image_builder.h"

#include <algorithm>

namespace kerf::testing {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t align8(std::uint64_t offset) { return (offset + 7) & ~std::uint64_t{7}; }

void grow(Bytes& image, std::uint64_t length) {
  if (image.size() < length) image.resize(length, 0);
}

// A little-endian field of `width` bytes; the image grows as needed.
void put(Bytes& image, std::uint64_t offset, std::uint64_t value, unsigned width) {
  grow(image, offset + width);
  for (unsigned i = 0; i < width; ++i) image[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The units of `text` and a zero unit; returns the offset after the zero unit.
std::uint64_t put_name(Bytes& image, std::uint64_t offset, const std::wstring& text) {
  for (const wchar_t unit : text) {
    put(image, offset, static_cast<std::uint16_t>(unit), 2);
    offset += 2;
  }
  put(image, offset, 0, 2);
  return offset + 2;
}

}  // namespace

std::vector<std::uint8_t> PrefetchImageBuilder::build() const {
  Bytes image;
  const bool win10 = m_version == 30 || m_version == 31;
  const bool run_count_at_200 = win10 && m_selector == 296;

  // Header. A 30-unit name's zero unit falls on the path hash, written after it.
  put(image, 0, m_version, 4);
  put(image, 4, 0x41434353, 4);  // "SCCA"
  put(image, 8, m_version == 17 ? 15 : 17, 4);
  put_name(image, 16, m_exe_name.substr(0, 30));
  put(image, 76, m_path_hash, 4);

  // File-information block: run times and run count.
  const std::uint64_t metrics_offset = m_version == 17 ? 152 : m_version == 23 ? 240 : run_count_at_200 ? 296 : 304;
  grow(image, metrics_offset);
  put(image, 84, win10 ? m_selector : metrics_offset, 4);
  const std::size_t slots = std::min<std::size_t>(m_run_times.size(), m_version == 17 || m_version == 23 ? 1 : 8);
  for (std::size_t slot = 0; slot < slots; ++slot) {
    put(image, (m_version == 17 ? 120 : 128) + 8 * slot, m_run_times[slot], 8);
  }
  const std::uint64_t run_count_at = m_version == 17 ? 144 : m_version == 23 ? 152 : run_count_at_200 ? 200 : 208;
  put(image, run_count_at, m_run_count, 4);

  // Metrics array: one entry per file name, pointing at the name.
  const std::uint64_t entry_size = m_version == 17 ? 20 : 32;
  const std::uint64_t fields = m_version == 17 ? 8 : 12;  // name offset, units, flags
  std::uint64_t name_offset = 0;
  for (std::size_t i = 0; i < m_file_names.size(); ++i) {
    const std::uint64_t at = metrics_offset + i * entry_size;
    put(image, at + fields, name_offset, 4);
    put(image, at + fields + 4, m_file_names[i].size(), 4);
    put(image, at + fields + 8, 0x00000002, 4);  // loaded as a data file
    if (m_version != 17 && i < m_file_references.size()) put(image, at + 24, m_file_references[i], 8);
    name_offset += 2 * (m_file_names[i].size() + 1);
  }
  const std::uint64_t trace_chains = metrics_offset + m_file_names.size() * entry_size;
  grow(image, trace_chains);

  // File-name section.
  const std::uint64_t file_names_offset = align8(trace_chains);
  std::uint64_t at = file_names_offset;
  for (const std::wstring& name : m_file_names) at = put_name(image, at, name);
  const std::uint64_t file_names_end = at;

  // Volume block: the entry array, then each volume's path, file references
  // and directory names.
  const std::uint64_t block = align8(at);
  const std::uint64_t volume_entry_size = win10 ? 96 : m_version == 23 || m_version == 26 ? 104 : 40;
  at = block + m_volumes.size() * volume_entry_size;
  grow(image, at);
  for (std::size_t i = 0; i < m_volumes.size(); ++i) {
    const VolumeSpec& volume = m_volumes[i];
    const std::uint64_t path = align8(at);
    const std::uint64_t gap = align8(put_name(image, path, volume.device_path));
    for (std::uint32_t k = 0; k < volume.gap_size; ++k) put(image, gap + k, 0xA5, 1);
    const std::uint64_t directories = align8(gap + volume.gap_size);
    at = directories + 2 * volume.leading_zero_words;
    grow(image, at);
    for (const std::wstring& directory : volume.directories) {
      put(image, at, directory.size(), 2);
      at = put_name(image, at + 2, directory);
    }

    const std::uint64_t entry = block + i * volume_entry_size;
    put(image, entry + 0, path - block, 4);
    put(image, entry + 4, volume.device_path.size(), 4);
    put(image, entry + 8, volume.creation_time, 8);
    put(image, entry + 16, volume.serial, 4);
    put(image, entry + 20, gap - block, 4);
    put(image, entry + 24, volume.gap_size, 4);
    put(image, entry + 28, directories - block, 4);
    put(image, entry + 32, volume.directory_count.value_or(static_cast<std::uint32_t>(volume.directories.size())), 4);
  }

  // Section table of the file-information block.
  put(image, 88, m_file_names.size(), 4);
  put(image, 92, trace_chains, 4);
  put(image, 100, file_names_offset, 4);
  put(image, 104, file_names_end - file_names_offset, 4);
  put(image, 108, block, 4);
  put(image, 112, m_volumes.size(), 4);
  put(image, 116, image.size() - block, 4);

  // The executable's own path, after everything else.
  if (m_embedded_path) {
    const std::uint64_t path_at = align8(image.size());
    const std::uint64_t end = put_name(image, path_at, *m_embedded_path) - 2;
    put(image, 212, path_at, 4);
    put(image, 216, end - path_at, 4);
  }

  put(image, 12, image.size(), 4);  // the header size field
  for (const Patch& patch : m_patches) put(image, patch.offset, patch.value, patch.width);
  if (m_length) image.resize(*m_length, 0);
  return image;
}

}  // namespace kerf::testing
