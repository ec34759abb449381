#include "prefetch/hash_check.h"

#include <algorithm>
#include <span>
#include <string>

#include "prefetch/hash_search.h"
#include "prefetch/utf16_names.h"

namespace kerf {

void check_executable_hash(const io::ByteReader& image, const PrefetchHeader& header,
                           const std::optional<UnitRange>& embedded, const std::optional<HashCheck>& directories,
                           PrefetchRecord& record) {
  HashCheck& check = record.hash_check;
  check = HashCheck{};
  const HashSearch search(header.version, record.stored_hash);
  const std::span<const std::uint8_t> embedded_units =
      embedded ? image.bytes(embedded->offset, 2 * embedded->units) : std::span<const std::uint8_t>();

  if (search.try_path(embedded_units, check)) return;

  const bool cut = header.exe_name_units >= kCutNameUnits;
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    if (!names_executable(record.loaded_files[i], record.exe_name, cut)) continue;
    const std::uint64_t offset = record.loaded_file_offsets[i];
    const std::span<const std::uint8_t> name =
        image.bytes(offset, 2 * count_units_to_zero(image, offset, image.remaining(offset) / 2));
    if (embedded && std::ranges::equal(name, embedded_units)) continue;  // tried already
    if (search.try_path(name, check)) return;
  }
  if (directories) {
    check = *directories;
  } else {
    prove_in_directories(image, header, record, search, check);
  }
}

}  // namespace kerf
