// Writes the disk image of the image benchmark: a sparse raw disk with an
// MBR and one NTFS partition at 1 MiB, whose \Windows\Prefetch holds the
// first FILES Prefetch files of a benchmark tree (bench/tree), and beside it
// the same files loose, for the run to compare against:
//   make_bench_image TREE DISK LOOSE_FOLDER [FILES=1000] [DISK_GIB=8]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "testkit/ntfs_image.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s TREE DISK LOOSE_FOLDER [FILES] [DISK_GIB]\n", argv[0]);
    return 2;
  }
  const fs::path tree = argv[1];
  const std::string disk = argv[2];
  const fs::path loose = argv[3];
  const unsigned long files = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1000;
  const unsigned long long disk_bytes = (argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 8) << 30;
  constexpr unsigned long long kVolumeOffset = 1 << 20;
  try {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    if (found.size() < files) {
      std::fprintf(stderr, "%s holds %zu files, fewer than %lu\n", tree.c_str(), found.size(), files);
      return 1;
    }
    fs::remove_all(loose);
    fs::create_directories(loose);
    const std::string volume = disk + ".volume";
    kerf::testing::format_ntfs(volume, disk_bytes - 2 * kVolumeOffset);
    std::vector<std::string> commands{"mkdir\t\\Windows\\Prefetch"};
    for (unsigned long i = 0; i < files; ++i) {
      const fs::path copy = loose / found[i].filename();
      fs::copy_file(found[i], copy, fs::copy_options::overwrite_existing);
      commands.push_back("put\t\\Windows\\Prefetch\\" + found[i].filename().string() + "\t" + copy.string());
    }
    kerf::testing::run_ntfs_writer(volume, commands);
    kerf::testing::make_disk(disk, disk_bytes, false, {{kVolumeOffset, disk_bytes - 2 * kVolumeOffset, volume, "7"}});
    fs::remove(volume);
  } catch (const std::exception& problem) {
    std::fprintf(stderr, "make_bench_image: %s\n", problem.what());
    return 1;
  }
  return 0;
}
