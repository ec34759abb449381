// Replays every hostile input kept in fuzz/regressions: each once crashed the
// decoder or the parser, or is a shape worth keeping. It may be refused, but
// must stay inside its input (the sanitizer build checks that) and leave a
// consistent result when it is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "prefetch/parser.h"
#include "prefetch/xpress_decoder.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(FuzzRegressions, KeptInputsDecodeAndParseCleanly) {
  const std::filesystem::path dir = std::filesystem::path(KERF_SOURCE_DIR) / "fuzz" / "regressions";
  std::size_t replayed = 0;
  for (const auto& file : std::filesystem::recursive_directory_iterator(dir)) {
    if (!file.is_regular_file()) continue;
    SCOPED_TRACE(file.path().string());
    const std::vector<std::uint8_t> input = kerf::testing::read_file_bytes(file.path().string());
    kerf::XpressDecoder decoder;
    const bool decoded = decoder.decompress(input);
    EXPECT_EQ(decoder.output().size(), decoded ? kerf::XpressDecoder::detect_container(input).declared_size : 0u);
    kerf::PrefetchRecord record;
    if (kerf::parse_prefetch_image(input, record) == kerf::ParseResult::ok) {
      EXPECT_EQ(std::count(record.previous_run_times.begin(), record.previous_run_times.end(), 0u), 0);
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "no inputs in " << dir;
}

}  // namespace
