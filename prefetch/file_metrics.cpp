// The file-metrics array: one entry per loaded file, giving where the file's
// name starts in the file-name section and, from Windows Vista on, the NTFS
// file reference (MFT entry and sequence number) of the file as it was
// loaded. The entries need not follow the order of the names, so each is
// matched to a name by that offset.
#include <algorithm>

#include "prefetch/sections.h"

namespace kerf {

namespace {

constexpr std::uint64_t kEntrySize = 32;
constexpr std::uint64_t kNameOffsetField = 12;  // bytes from the start of the file-name section
constexpr std::uint64_t kFileReferenceField = 24;
constexpr std::uint64_t kMftEntryMask = (std::uint64_t{1} << 48) - 1;

bool has_file_references(std::uint32_t version) {
  return version == kVersionVista || version == kVersionWin8 || version == kVersionWin10 ||
         version == kVersionWin11;
}

}  // namespace

void read_file_references(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record) {
  std::vector<std::optional<FileReference>>& references = record.file_references;
  references.assign(record.loaded_files.size(), std::nullopt);
  if (!has_file_references(header.version)) return;

  // The names lie one after another, so their offsets rise. Entries mostly
  // follow the names, so the name after the last one found is looked at
  // before the offsets are searched.
  const std::vector<std::uint64_t>& name_offsets = record.loaded_file_offsets;
  std::size_t next = 0;
  for (std::uint64_t i = 0; i < header.file_name_count; ++i) {
    const std::uint64_t entry = header.metrics_offset + i * kEntrySize;
    if (!image.fits(entry, kEntrySize)) break;
    const std::uint64_t reference = image.u64_or(entry + kFileReferenceField, 0);
    const std::uint64_t name = std::uint64_t{header.file_names_offset} + image.u32_or(entry + kNameOffsetField, 0);
    const bool at_next = next < name_offsets.size() && name_offsets[next] == name;
    if (reference == 0) {
      next += at_next ? 1 : 0;
      continue;
    }
    if (!at_next) {
      next = static_cast<std::size_t>(std::lower_bound(name_offsets.begin(), name_offsets.end(), name) -
                                      name_offsets.begin());
      if (next == name_offsets.size() || name_offsets[next] != name) continue;
    }
    // A second entry for the same name does not replace the first.
    std::optional<FileReference>& slot = references[next++];
    if (!slot) slot = FileReference{reference & kMftEntryMask, static_cast<std::uint16_t>(reference >> 48)};
  }
}

}  // namespace kerf
