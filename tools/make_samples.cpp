// Writes the bundled sample Prefetch files (one per format version, the
// Windows 10 and 11 ones MAM-compressed) into a folder, by default samples/.
//   make_samples [FOLDER]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/sample_prefetch.h"

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "samples";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const auto& sample : kerf::testing::bundled_samples()) {
    const auto path = folder / sample.file_name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(sample.bytes.data()),
              static_cast<std::streamsize>(sample.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s (%zu bytes, %zu decoded)\n", path.c_str(), sample.bytes.size(), sample.image_size);
  }
  return 0;
}
