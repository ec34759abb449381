#include "tests/support/prefetch_image_builder.h"

#include <algorithm>
#include <utility>

namespace kerf::testing {

namespace {

constexpr std::uint64_t kHeaderSize = 84;
constexpr std::size_t kExeNameUnits = 30;
constexpr std::size_t kRunTimeSlots = 8;

constexpr std::uint64_t align8(std::uint64_t offset) { return (offset + 7) & ~std::uint64_t{7}; }

// Little-endian writes that grow the image as needed.
class ImageWriter {
 public:
  std::vector<std::uint8_t>& bytes() { return m_bytes; }
  std::uint64_t size() const { return m_bytes.size(); }

  void pad_to(std::uint64_t length) {
    if (m_bytes.size() < length) m_bytes.resize(length, 0);
  }
  void put(std::uint64_t offset, std::uint64_t value, unsigned width) {
    pad_to(offset + width);
    for (unsigned i = 0; i < width; ++i) m_bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void u16(std::uint64_t offset, std::uint16_t value) { put(offset, value, 2); }
  void u32(std::uint64_t offset, std::uint32_t value) { put(offset, value, 4); }
  void u64(std::uint64_t offset, std::uint64_t value) { put(offset, value, 8); }
  void raw(std::uint64_t offset, const std::vector<std::uint8_t>& data) {
    pad_to(offset + data.size());
    std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  // Writes the units of `text` at `offset`; returns the offset after them.
  std::uint64_t units(std::uint64_t offset, const std::wstring& text) {
    for (const wchar_t unit : text) {
      u16(offset, static_cast<std::uint16_t>(unit));
      offset += 2;
    }
    return offset;
  }

 private:
  std::vector<std::uint8_t> m_bytes;
};

bool is_win10_or_later(std::uint32_t version) { return version == 30 || version == 31; }

std::uint32_t volume_entry_size(std::uint32_t version) {
  switch (version) {
    case 23:
    case 26: return 104;
    case 30:
    case 31: return 96;
    default: return 40;
  }
}

// Where the file-information block ends and the metrics array starts.
std::uint64_t metrics_offset(std::uint32_t version, std::uint32_t selector) {
  switch (version) {
    case 17: return 152;
    case 23: return 240;
    case 30:
    case 31: return selector == PrefetchImageBuilder::kSelectorRunCountAt200 ? 296 : 304;
    default: return 304;
  }
}

std::uint64_t run_count_offset(std::uint32_t version, std::uint32_t selector) {
  switch (version) {
    case 17: return 144;
    case 23: return 152;
    case 30:
    case 31: return selector == PrefetchImageBuilder::kSelectorRunCountAt200 ? 200 : 208;
    default: return 208;
  }
}

}  // namespace

PrefetchImageBuilder::PrefetchImageBuilder(std::uint32_t version) : m_version(version) {}

PrefetchImageBuilder& PrefetchImageBuilder::version(std::uint32_t version) {
  m_version = version;
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::layout_selector(std::uint32_t selector) {
  m_selector = selector;
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::exe_name(std::wstring name) {
  m_exe_name = std::move(name);
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::path_hash(std::uint32_t hash) {
  m_path_hash = hash;
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::run_times(std::vector<std::uint64_t> slots) {
  slots.resize(std::min(slots.size(), kRunTimeSlots));
  m_run_times = std::move(slots);
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::run_count(std::uint32_t count) {
  m_run_count = count;
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::header_size(std::uint32_t size) {
  m_header_size = size;
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::file_names(std::vector<std::wstring> names) {
  m_file_names = std::move(names);
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::add_file_name(std::wstring name) {
  m_file_names.push_back(std::move(name));
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::add_volume(VolumeSpec volume) {
  m_volumes.push_back(std::move(volume));
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::file_references(std::vector<std::uint64_t> references) {
  m_file_references = std::move(references);
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::embedded_path(std::wstring path) {
  m_embedded_path = std::move(path);
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::patch(std::uint64_t offset, std::vector<std::uint8_t> bytes) {
  m_patches.push_back({offset, std::move(bytes)});
  return *this;
}
PrefetchImageBuilder& PrefetchImageBuilder::patch_u16(std::uint64_t offset, std::uint16_t value) {
  return patch(offset, {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
}
PrefetchImageBuilder& PrefetchImageBuilder::patch_u32(std::uint64_t offset, std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  for (unsigned i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return patch(offset, std::move(bytes));
}
PrefetchImageBuilder& PrefetchImageBuilder::patch_u64(std::uint64_t offset, std::uint64_t value) {
  std::vector<std::uint8_t> bytes(8);
  for (unsigned i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return patch(offset, std::move(bytes));
}
PrefetchImageBuilder& PrefetchImageBuilder::resize(std::size_t length) {
  m_length = length;
  return *this;
}

std::vector<std::uint8_t> PrefetchImageBuilder::build() const {
  PrefetchImageLayout layout;
  return lay_out(layout);
}

PrefetchImageLayout PrefetchImageBuilder::layout() const {
  PrefetchImageLayout layout;
  lay_out(layout);
  return layout;
}

std::vector<std::uint8_t> PrefetchImageBuilder::lay_out(PrefetchImageLayout& layout) const {
  ImageWriter image;
  const bool win10 = is_win10_or_later(m_version);

  // Header.
  image.u32(0, m_version);
  image.raw(4, {'S', 'C', 'C', 'A'});
  image.u32(8, m_version == 17 ? 15 : 17);
  const std::wstring exe = m_exe_name.substr(0, kExeNameUnits);
  image.units(16, exe);
  image.u32(76, m_path_hash);
  image.pad_to(kHeaderSize);

  // File-information block: run times and run count.
  layout.metrics_offset = metrics_offset(m_version, m_selector);
  image.pad_to(layout.metrics_offset);
  image.u32(84, win10 ? m_selector : static_cast<std::uint32_t>(layout.metrics_offset));
  if (m_version == 17 || m_version == 23) {
    if (!m_run_times.empty()) image.u64(m_version == 17 ? 120 : 128, m_run_times.front());
  } else {
    for (std::size_t slot = 0; slot < m_run_times.size(); ++slot) image.u64(128 + 8 * slot, m_run_times[slot]);
  }
  image.u32(run_count_offset(m_version, m_selector), m_run_count);

  // Metrics array: one entry per file name, pointing at the name.
  const std::uint64_t metrics_entry = m_version == 17 ? 20 : 32;
  std::uint64_t name_offset_in_section = 0;
  for (std::size_t i = 0; i < m_file_names.size(); ++i) {
    const std::uint64_t at = layout.metrics_offset + i * metrics_entry;
    const auto units = static_cast<std::uint32_t>(m_file_names[i].size());
    image.u32(at + (m_version == 17 ? 8 : 12), static_cast<std::uint32_t>(name_offset_in_section));
    image.u32(at + (m_version == 17 ? 12 : 16), units);
    image.u32(at + (m_version == 17 ? 16 : 20), 0x00000002);  // loaded as a data file
    if (m_version != 17 && i < m_file_references.size()) image.u64(at + 24, m_file_references[i]);
    name_offset_in_section += 2ull * (units + 1);
  }
  const std::uint64_t trace_chains = layout.metrics_offset + m_file_names.size() * metrics_entry;
  image.pad_to(trace_chains);

  // File-name section.
  layout.file_names_offset = align8(trace_chains);
  std::uint64_t at = layout.file_names_offset;
  for (const std::wstring& name : m_file_names) {
    layout.file_name_offsets.push_back(at);
    at = image.units(at, name);
    image.u16(at, 0);
    at += 2;
  }
  layout.file_names_end = at;
  image.pad_to(at);

  // Volume block: the entry array, then each volume's path, file references
  // and directory names.
  layout.volumes_offset = align8(at);
  layout.volume_entry_size = volume_entry_size(m_version);
  const std::uint64_t block = layout.volumes_offset;
  image.pad_to(block);
  at = block + m_volumes.size() * layout.volume_entry_size;
  image.pad_to(at);
  for (std::size_t i = 0; i < m_volumes.size(); ++i) {
    const VolumeSpec& volume = m_volumes[i];
    VolumeLayout placed;
    placed.entry_offset = block + i * layout.volume_entry_size;
    placed.path_offset = align8(at);
    at = image.units(placed.path_offset, volume.device_path);
    image.u16(at, 0);
    at += 2;
    placed.gap_offset = align8(at);
    image.pad_to(placed.gap_offset);
    for (std::uint32_t k = 0; k < volume.gap_size; ++k) {
      image.put(placed.gap_offset + k, 0xA5, 1);
    }
    placed.directories_offset = align8(placed.gap_offset + volume.gap_size);
    image.pad_to(placed.directories_offset);
    at = placed.directories_offset;
    for (std::uint32_t k = 0; k < volume.leading_zero_words; ++k, at += 2) image.u16(at, 0);
    for (const std::wstring& directory : volume.directories) {
      image.u16(at, static_cast<std::uint16_t>(directory.size()));
      at = image.units(at + 2, directory);
      image.u16(at, 0);
      at += 2;
    }
    placed.end_offset = at;
    image.pad_to(at);

    const std::uint64_t entry = placed.entry_offset;
    image.u32(entry + 0, static_cast<std::uint32_t>(placed.path_offset - block));
    image.u32(entry + 4, static_cast<std::uint32_t>(volume.device_path.size()));
    image.u64(entry + 8, volume.creation_time);
    image.u32(entry + 16, volume.serial);
    image.u32(entry + 20, static_cast<std::uint32_t>(placed.gap_offset - block));
    image.u32(entry + 24, volume.gap_size);
    image.u32(entry + 28, static_cast<std::uint32_t>(placed.directories_offset - block));
    image.u32(entry + 32, volume.directory_count.value_or(static_cast<std::uint32_t>(volume.directories.size())));
    layout.volumes.push_back(placed);
  }

  // Section table of the file-information block.
  image.u32(88, static_cast<std::uint32_t>(m_file_names.size()));
  image.u32(92, static_cast<std::uint32_t>(trace_chains));
  image.u32(96, 0);
  image.u32(100, static_cast<std::uint32_t>(layout.file_names_offset));
  image.u32(104, static_cast<std::uint32_t>(layout.file_names_end - layout.file_names_offset));
  image.u32(108, static_cast<std::uint32_t>(block));
  image.u32(112, static_cast<std::uint32_t>(m_volumes.size()));
  image.u32(116, static_cast<std::uint32_t>(image.size() - block));

  // The executable's own path, after everything else.
  if (m_embedded_path) {
    layout.embedded_path_offset = align8(image.size());
    image.pad_to(layout.embedded_path_offset);
    const std::uint64_t end = image.units(layout.embedded_path_offset, *m_embedded_path);
    image.u16(end, 0);
    image.u32(212, static_cast<std::uint32_t>(layout.embedded_path_offset));
    image.u32(216, static_cast<std::uint32_t>(end - layout.embedded_path_offset));
  }

  layout.length = image.size();
  image.u32(12, m_header_size.value_or(static_cast<std::uint32_t>(layout.length)));

  for (const Patch& patch : m_patches) image.raw(patch.offset, patch.bytes);
  std::vector<std::uint8_t> bytes = std::move(image.bytes());
  if (m_length) bytes.resize(*m_length, 0);
  return bytes;
}

}  // namespace kerf::testing
