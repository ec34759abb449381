// Replays every kept hostile input for the container decoder: each must
// decode (or be refused) cleanly, and a success must hold the declared size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "prefetch/xpress.h"

namespace {

TEST(XpressRegressions, KeptInputsDecodeCleanly) {
  const std::filesystem::path dir = std::filesystem::path(KERF_SOURCE_DIR) / "fuzz" / "regressions" / "xpress";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    kerf::xpress_adt decoder;
    if (decoder.decompress(input)) {
      EXPECT_EQ(decoder.output().size(), kerf::xpress_adt::detect_container(input).declared_size);
    } else {
      EXPECT_TRUE(decoder.output().empty());
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
