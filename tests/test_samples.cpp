// The generated samples decode as what they claim to be, and the committed
// samples/ folder holds exactly what the generator writes today.
#include <gtest/gtest.h>

#include <filesystem>

#include "prefetch/prefetch_entry.h"
#include "prefetch/prefetch_parser.h"
#include "tests/support/sample_prefetch.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(Samples, EachVersionDecodesWithItsRunsAndVolumes) {
  struct Expected {
    const char* label;
    const char* exe;
    std::size_t previous_runs;
    std::size_t volumes;
  };
  const Expected expected[] = {
      {"WinXP Prefetch", "NOTEPAD.EXE", 0, 1},  {"Vista/Win7 Prefetch", "CMD.EXE", 0, 2},
      {"Win8 Prefetch", "CALC.EXE", 2, 1},      {"Win10 Prefetch", "CHROME.EXE", 7, 2},
      {"Win11 Prefetch", "MSEDGE.EXE", 7, 3},
  };
  const auto samples = kerf::testing::bundled_samples();
  ASSERT_EQ(samples.size(), std::size(expected));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    SCOPED_TRACE(samples[i].file_name);
    kerf::PrefetchEntry entry;
    ASSERT_TRUE(kerf::parse_prefetch_image(samples[i].bytes, entry));
    EXPECT_EQ(entry.format_label, expected[i].label);
    EXPECT_EQ(entry.exe_name, expected[i].exe);
    EXPECT_EQ(entry.prev_run_times.size(), expected[i].previous_runs);
    EXPECT_EQ(entry.volume_paths.size(), expected[i].volumes);
    EXPECT_NE(entry.app_path.find(expected[i].exe), std::string::npos);
    EXPECT_NE(entry.last_run_time, 0u);
    for (const auto& directories : entry.volume_dirs) EXPECT_FALSE(directories.empty());
  }
}

TEST(Samples, CommittedFilesMatchTheGenerator) {
  const std::filesystem::path folder = std::filesystem::path(KERF_SOURCE_DIR) / "samples";
  for (const auto& sample : kerf::testing::bundled_samples()) {
    SCOPED_TRACE(sample.file_name);
    EXPECT_EQ(kerf::testing::read_file_bytes((folder / sample.file_name).string()), sample.bytes)
        << "regenerate with: build/tools/make_samples samples";
  }
}

}  // namespace
