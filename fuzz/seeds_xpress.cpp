// Writes starting inputs for fuzz_xpress into the directory given as the
// first argument: containers of each kind made from a few kinds of data,
// and bare Huffman blocks (the fuzz target puts a "MAM" header before them).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/xpress_encoder.h"
#include "tests/support/xpress_sample_data.h"

namespace {

using kerf::testing::ByteVector;

void write(const std::filesystem::path& dir, const std::string& name, const ByteVector& bytes) {
  std::ofstream out(dir / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);

  struct Sample {
    const char* name;
    ByteVector data;
  };
  const std::vector<Sample> samples = {
      {"prefetch", kerf::testing::prefetch_like_bytes(20000, 1)},
      {"prefetch-big", kerf::testing::prefetch_like_bytes(70000, 2)},
      {"random", kerf::testing::random_bytes(3000, 3)},
      {"zeros", ByteVector(70000, 0)},
      {"small", kerf::testing::prefetch_like_bytes(300, 4)},
  };
  kerf::testing::HuffmanEncodeOptions words;
  words.escape = kerf::testing::LengthEscape::kWord;
  for (const Sample& s : samples) {
    const std::string name = s.name;
    write(dir, name + ".mam", kerf::testing::make_mam_container(s.data));
    write(dir, name + ".mem0", kerf::testing::make_mem0_container(s.data));
    write(dir, name + "-words.mam", kerf::testing::make_mam_container(s.data, words));
    write(dir, name + "-lz77.mam", kerf::testing::make_mam_lz77_container(s.data));
    write(dir, name + "-checksum.mam", kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(s.data)));
    const auto blocks = kerf::testing::xpress_huffman_blocks(s.data);
    write(dir, name + ".block", blocks.front());
    if (s.data.size() <= 65536) {
      write(dir, name + ".lz77", kerf::testing::make_lz77_container(s.data));
      kerf::testing::Lz77Options stored;
      stored.storage = kerf::testing::Lz77Storage::kStoredDeclaredSize;
      write(dir, name + "-stored.lz77", kerf::testing::make_lz77_container(s.data, stored));
    }
  }
  return 0;
}
