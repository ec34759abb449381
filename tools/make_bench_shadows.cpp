// Writes the volume of the shadow-copy benchmark: an NTFS volume whose
// \Windows\Prefetch holds the first FILES Prefetch files of a benchmark tree,
// with STORES shadow-copy stores, each an older state in which a third of
// the files held other bytes:
//   make_bench_shadows TREE VOLUME [FILES=1000] [STORES=3] [VOLUME_MIB=1024]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "testkit/ntfs_image.h"
#include "testkit/vss_image.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TREE VOLUME [FILES] [STORES] [VOLUME_MIB]\n", argv[0]);
    return 2;
  }
  const fs::path tree = argv[1];
  const std::string live = argv[2];
  const unsigned long files = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
  const unsigned long stores = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 3;
  const unsigned long long size = (argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1024) << 20;
  try {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    if (found.size() < 2 * files) {
      std::fprintf(stderr, "%s holds %zu files, fewer than %lu\n", tree.c_str(), found.size(), 2 * files);
      return 1;
    }
    const auto name = [&](unsigned long i) { return "\\Windows\\Prefetch\\" + found[i].filename().string(); };
    // The oldest state first; each later one refills a third of the files
    // with the bytes of files beyond the first FILES.
    std::vector<std::string> states{live + ".state0"};
    kerf::testing::format_ntfs(states.front(), size);
    std::vector<std::string> commands{"mkdir\t\\Windows\\Prefetch"};
    for (unsigned long i = 0; i < files; ++i) commands.push_back("put\t" + name(i) + "\t" + found[i].string());
    kerf::testing::run_ntfs_writer(states.front(), commands);
    std::vector<std::uint64_t> times;
    for (unsigned long state = 1; state <= stores; ++state) {
      const std::string next = state == stores ? live : live + ".state" + std::to_string(state);
      fs::copy_file(states.back(), next, fs::copy_options::overwrite_existing);
      commands.clear();
      for (unsigned long i = state % 3; i < files; i += 3) {
        commands.push_back("fill\t" + name(i) + "\t" + found[files + (i + state) % files].string());
      }
      kerf::testing::run_ntfs_writer(next, commands);
      times.push_back(132500000000000000ull + state * 864000000000ull);  // a day apart
      states.push_back(next);
    }
    states.pop_back();  // the live volume
    kerf::testing::add_shadow_copies(live, states, times);
    for (const std::string& state : states) fs::remove(state);
  } catch (const std::exception& problem) {
    std::fprintf(stderr, "make_bench_shadows: %s\n", problem.what());
    return 1;
  }
  return 0;
}
