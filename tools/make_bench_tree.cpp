// Writes a tree of realistic Prefetch files for whole-run benchmarks:
//   make_bench_tree FOLDER [FILES=10000] [SUBFOLDERS=100] [SEED=1]
// A fifth of the files are uncompressed versions 17/23/26, the rest
// MAM-compressed 30/31, with 50-400 loaded files and 1-3 volumes each. The
// totals (file bytes and decoded bytes) go to FOLDER.stats, beside the tree so
// that a run over the tree meets only Prefetch files, and throughput can be
// reported per decoded megabyte.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tools/sample_prefetch.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [FILES] [SUBFOLDERS] [SEED]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const unsigned long files = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  const unsigned long folders = argc > 3 ? std::max(1ul, std::strtoul(argv[3], nullptr, 10)) : 100;
  std::mt19937_64 rng(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);

  unsigned long long file_bytes = 0;
  unsigned long long decoded_bytes = 0;
  for (unsigned long i = 0; i < files; ++i) {
    const auto sample = kerf::samples::make_sample(kerf::samples::random_sample_shape(rng));
    char folder_name[32];
    std::snprintf(folder_name, sizeof folder_name, "host%03lu", i % folders);
    const auto folder = root / folder_name;
    std::filesystem::create_directories(folder);
    // The index keeps names unique where the same program repeats.
    const auto path = folder / (std::to_string(i) + "-" + sample.file_name);
    if (!kerf::samples::write_sample(path.string(), sample)) return 1;
    file_bytes += sample.bytes.size();
    decoded_bytes += sample.image_size;
  }
  std::ofstream stats(root.string() + ".stats", std::ios::trunc);
  stats << "files " << files << "\nfile_bytes " << file_bytes << "\ndecoded_bytes " << decoded_bytes
        << "\n";
  std::printf("%lu files, %llu bytes on disk, %llu bytes decoded (mean %llu)\n", files, file_bytes,
              decoded_bytes, files ? decoded_bytes / files : 0);
  return 0;
}
