// Writes the bundled sample Prefetch files (one per format version, the
// Windows 10 and 11 ones MAM-compressed) into a folder, by default samples/.
//   make_samples [FOLDER]
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/sample_prefetch.h"

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "samples";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const auto& sample : kerf::samples::bundled_samples()) {
    const auto path = folder / sample.file_name;
    if (!kerf::samples::write_sample(path.string(), sample)) return 1;
    std::printf("%s (%zu bytes, %zu decoded)\n", path.c_str(), sample.bytes.size(), sample.image_size);
  }
  return 0;
}
