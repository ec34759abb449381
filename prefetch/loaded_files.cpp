// The file-name section: every file the executable loaded while it was
// traced, one UTF-16LE name after another, each ended by a zero unit.
#include <string_view>

#include "lib/text_encoding.h"
#include "prefetch/prefetch_header.h"
#include "prefetch/prefetch_parser.h"
#include "prefetch/utf16_units.h"

namespace kerf {

using namespace prefetch_header;

bool read_loaded_files(std::span<const std::uint8_t> image, std::wstring& exe_name,
                       std::map<std::uint64_t, std::string>& loaded_files) {
  if (!is_prefetch_image(image)) return false;
  const qv::ByteReader reader{image};
  const std::uint64_t section = reader.u32_or(kFileNamesOffset, 0);
  if (section > reader.size()) return false;

  // The header count ends the walk; a count of 0 (or one larger than the
  // section) lets it run on to the end of the image.
  const std::uint64_t name_count = reader.u32_or(kFileNameCountOffset, 0);
  std::uint64_t units_left = (reader.size() - section) / 2;

  // Names are compared in UTF-8: each unit is one code point, so a name
  // contains the executable name exactly when its UTF-8 form contains the
  // UTF-8 form of the executable name.
  const std::string exe_utf8 = qv::wide_to_utf8(exe_name);
  bool exe_pending = true;

  std::string name;
  std::uint64_t start = section;
  for (std::uint64_t number = 1;; ++number) {
    name.clear();
    const UnitRun run = append_units_to_zero(reader, start, units_left, name);
    if (!run.terminated) break;  // a last name cut off by the end is dropped

    // The first name that holds the executable name is normally the full
    // device path of the executable itself.
    if (exe_pending && std::string_view{name}.find(exe_utf8) != std::string_view::npos) {
      exe_name = read_units_wide(reader, start, run.units);
      exe_pending = false;
    }
    loaded_files.try_emplace(loaded_files.end(), start, name);

    if (number == name_count) break;
    units_left -= run.units + 1;
    start += 2 * (run.units + 1);
  }
  return true;
}

}  // namespace kerf
