// The file a report is about, as the user named it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kerf {

// One place that holds the same bytes: a volume of a disk image (store
// unset) or one of its shadow-copy stores.
struct SameCopy {
  std::optional<std::uint32_t> store;
  std::uint64_t store_created = 0;  // FILETIME, for a store
  std::string path;                 // the name shown for that copy
};

struct InputFile {
  std::string path;  // as typed or read, %NAME% references expanded
  std::string name;  // its file-name part, shown in the tables and timelines
  // With -vss: every copy holding exactly these bytes (the live volume and
  // stores), the one read first; empty otherwise.
  std::vector<SameCopy> copies;
};

}  // namespace kerf
