// Reading evidence and writing results where the command-line tests can't
// reach: files that change or lie about their size, and results that go out
// in blocks or are cut short.
#include "lib/io/file.h"
#include "lib/io/output_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::TempDir;

constexpr std::uint32_t kLoaderLimit = 16777216;

std::uint64_t size_on_disk(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : ~0ull;
}

TEST(ReadWholeFile, SizesThatChangeOrAreNotWhatTheyClaim) {
  TempDir dir;
  // A file that shrank after opening: its first read returns nothing, and
  // no zero bytes stand in for what was not read.
  const std::string small = dir.write_text("small.pf", "SCCA");
  kerf::io::File file;
  ASSERT_TRUE(file.open_for_read(small));
  ASSERT_EQ(::truncate(small.c_str(), 0), 0);
  std::vector<std::uint8_t> out(5, 0xAA);
  EXPECT_FALSE(file.read_at(out, 16, 0));
  EXPECT_TRUE(out.empty());

  // Sizes beyond 4 GiB are not cut to 32 bits.
  const std::string sparse = dir.write_text("sparse.pf", "");
  if (::truncate(sparse.c_str(), static_cast<off_t>((4ull << 30) + 10)) == 0) {
    ASSERT_TRUE(kerf::io::read_whole_file(out, sparse, 1000));
    EXPECT_EQ(out.size(), 1000u);
  }

  // Files under /proc report no size and can't seek to their end.
  if (file.open_for_read("/proc/self/status")) {
    EXPECT_EQ(file.size(), 262144u);
    ASSERT_TRUE(kerf::io::read_whole_file(out, "/proc/self/status", kLoaderLimit));
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "Name:");
  }
}

// Results go out in 262 144-byte blocks: nothing reaches the file before a
// block is full, and the rest arrives at close.
TEST(OutputFile, BytesReachTheFileOnlyWhenTheBlockOverflowsOrAtClose) {
  constexpr std::uint64_t kBlock = kerf::io::OutputFile::kBlockSize;
  TempDir dir;
  const std::string path = dir.file("results.txt");
  const std::string text(3 * kBlock, 'r');
  {
    kerf::io::OutputFile out;
    ASSERT_TRUE(out.open_results_file(path, false));
    out.write(std::string_view(text).substr(0, kBlock - 1));
    EXPECT_EQ(size_on_disk(path), 0u);
    out.write(std::string_view(text).substr(0, 101));
    EXPECT_EQ(size_on_disk(path), kBlock);
    out.write(std::string_view(text).substr(0, 2 * kBlock));  // whole blocks at once
    EXPECT_EQ(size_on_disk(path), 3 * kBlock);
  }  // closing writes the rest
  EXPECT_EQ(size_on_disk(path), 3 * kBlock + 100);
}

// A file-size limit cuts a write short; the next attempt then fails. A write
// taken as complete after its first short part would hide the loss.
bool short_write_is_followed_up(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1000, 1000};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  kerf::io::File file;
  const bool opened = file.open_for_write(path, kerf::io::File::WriteMode::truncate);
  const bool written = file.write_all(std::string(5000, 'x'));
  return opened && !written && size_on_disk(path) == 1000;
}

TEST(OutputFile, ShortWritesAreFollowedUp) {
  TempDir dir;
  EXPECT_EXIT(std::_Exit(short_write_is_followed_up(dir.file("limited.txt")) ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
