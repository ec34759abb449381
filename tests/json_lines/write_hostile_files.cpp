// Writes the hostile Prefetch files (tests/support/hostile_prefetch.h) into
// a folder, for the check of the JSON layouts by an independent parser:
//   write_hostile_files FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/hostile_prefetch.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const auto& file : kerf::testing::hostile_prefetch_files()) {
    std::ofstream out(folder / file.name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", (folder / file.name).c_str());
      return 1;
    }
  }
  return 0;
}
