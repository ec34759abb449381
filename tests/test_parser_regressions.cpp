// Replays every input kept in fuzz/regressions/parser: each once crashed the
// parser or is a hostile shape worth keeping. The parse may succeed or fail,
// but must stay inside the image (the sanitizer build checks that) and leave
// a consistent record when it succeeds.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "prefetch/prefetch_parser.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ParserRegressions, KeptInputsParseSafely) {
  const std::filesystem::path dir = std::filesystem::path(KERF_SOURCE_DIR) / "fuzz" / "regressions" / "parser";
  std::size_t replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    if (!file.is_regular_file()) continue;
    SCOPED_TRACE(file.path().filename().string());
    const std::vector<std::uint8_t> bytes = kerf::testing::read_file_bytes(file.path().string());
    kerf::PrefetchEntry entry;
    if (kerf::parse_prefetch_image(bytes, entry)) {
      EXPECT_EQ(entry.volume_serials.size(), entry.volume_paths.size());
      EXPECT_EQ(entry.volume_create_times.size(), entry.volume_paths.size());
      EXPECT_EQ(entry.volume_dirs.size(), entry.volume_paths.size());
      EXPECT_FALSE(entry.prev_run_times.contains(0));
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "no inputs in " << dir;
}

}  // namespace
