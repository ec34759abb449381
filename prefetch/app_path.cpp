// Which path is the executable's own. A loaded file is taken only when its
// last component is the executable's name: a log, a .MUI or another tool
// whose name merely contains it is not the program. Some files never list
// the program itself (their loaded files are the libraries it used), but
// they list its directory: the one whose joined path gives the stored hash
// is proved to be it.
#include "prefetch/hash_search.h"
#include "prefetch/sections.h"

namespace kerf {

std::optional<HashCheck> find_app_path(const io::ByteReader& image, const PrefetchHeader& header,
                                       PrefetchRecord& record) {
  const bool cut = header.exe_name_units >= kCutNameUnits;
  for (const std::string_view name : record.loaded_files) {
    if (!names_executable(name, record.exe_name, cut)) continue;
    record.app_path.assign(name);
    return std::nullopt;
  }
  HashCheck directories;
  if (auto proved = prove_in_directories(image, header, record, HashSearch(header.version, record.stored_hash),
                                         directories)) {
    record.app_path = std::move(*proved);
  } else {
    record.app_path = record.exe_name.empty() ? "unk" : record.exe_name;
  }
  return directories;
}

}  // namespace kerf
