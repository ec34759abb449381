// The file-name section: every file the executable loaded while it was
// traced, one UTF-16LE name after another, each ended by a zero unit.
#include "prefetch/sections.h"
#include "prefetch/utf16_names.h"

namespace kerf {

bool read_loaded_files(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record) {
  const std::uint64_t section = header.file_names_offset;
  if (section > image.size()) return false;

  // The header count ends the walk; a count of 0 (or one larger than the
  // section) lets it run on to the end of the image.
  const std::uint64_t name_count = header.file_name_count;
  std::uint64_t units_left = (image.size() - section) / 2;

  NameList& names = record.loaded_files;
  std::uint64_t start = section;
  for (std::uint64_t number = 1;; ++number) {
    const UnitRun run = append_units_to_zero(image, start, units_left, names.pending_text());
    if (!run.terminated) {
      names.drop_pending();  // a last name cut off by the end is dropped
      break;
    }
    names.end_name();
    record.loaded_file_offsets.push_back(start);
    if (number == name_count) break;
    units_left -= run.units + 1;
    start += 2 * (run.units + 1);
  }
  return true;
}

}  // namespace kerf
