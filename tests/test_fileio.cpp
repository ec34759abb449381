#include "lib/io/file.h"
#include "lib/io/output_file.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_text;
using kerf::testing::TempDir;

constexpr std::uint32_t kLoaderLimit = 16777216;

std::uint64_t size_on_disk(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : ~0ull;
}

TEST(FileioOpen, RefusesFifosAndSocketsWithoutBlocking) {
  TempDir dir;
  const std::string fifo = dir.file("names.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socket_path = dir.file("s.sock");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof(address.sun_path));
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(sock, 1), 0);

  ::alarm(20);  // a blocking open fails the test instead of hanging it
  for (const std::string& path : {fifo, socket_path}) {
    kerf::io::File file;
    EXPECT_FALSE(file.open_for_read(path)) << path;
    EXPECT_FALSE(file.open_for_write(path, kerf::io::File::WriteMode::truncate)) << path;
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(kerf::io::read_whole_file(out, path, kLoaderLimit)) << path;
  }
  ::alarm(0);
  ::close(sock);
}

TEST(FileioOpen, OverlongUtf8NameIsOpenedAsWritten) {
  TempDir dir;
  // "\xC0\xAF" decodes (leniently) to '/': it must not reach the system as one.
  dir.write_text("x\xC0\xAFy", "literal");
  dir.write_text("x/y", "other");
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(kerf::io::read_whole_file(out, dir.file("x\xC0\xAFy"), kLoaderLimit));
  EXPECT_EQ(std::string(out.begin(), out.end()), "literal");
}

TEST(FileioWrite, CreateTruncatesAppendNeverDoes) {
  TempDir dir;
  const std::string kept = dir.write_text("kept.txt", "old");
  const std::string fresh = dir.file("fresh.txt");
  kerf::io::File file;
  for (const std::string& path : {kept, fresh}) {  // the second is created
    ASSERT_TRUE(file.open_for_write(path, kerf::io::File::WriteMode::append));
    EXPECT_TRUE(file.write_all("+new"));
  }
  ASSERT_TRUE(file.open_for_write(fresh, kerf::io::File::WriteMode::truncate));
  EXPECT_TRUE(file.close());
  EXPECT_EQ(read_file_text(kept), "old+new");
  EXPECT_EQ(read_file_text(fresh), "");
}

TEST(FileioWrite, CreatedFilesGetReadWriteBitsReducedByTheUmask) {
  TempDir dir;
  const mode_t saved = ::umask(027);
  kerf::io::File file;
  const bool opened = file.open_for_write(dir.file("r.txt"), kerf::io::File::WriteMode::truncate);
  ::umask(saved);
  ASSERT_TRUE(opened);
  struct stat status {};
  ASSERT_EQ(::stat(dir.file("r.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST(ReadWholeFile, LimitsAndFailures) {
  TempDir dir;
  const std::string small = dir.write_text("small.pf", "SCCA");
  std::vector<std::uint8_t> out;
  for (const std::string& path : {dir.write_text("empty.pf", ""), dir.file("none.pf"), dir.path().string()}) {
    out.assign(5, 0xAA);
    EXPECT_FALSE(kerf::io::read_whole_file(out, path, kLoaderLimit)) << path;
    EXPECT_TRUE(out.empty()) << path;
  }

  // A file that shrank after opening: its first read returns nothing.
  kerf::io::File file;
  ASSERT_TRUE(file.open_for_read(small));
  ASSERT_EQ(::truncate(small.c_str(), 0), 0);
  out.assign(5, 0xAA);
  EXPECT_FALSE(file.read_at(out, 16, 0));
  EXPECT_TRUE(out.empty());
}

TEST(ReadWholeFile, SizesBeyondFourGibibytesAreNotCutTo32Bits) {
  TempDir dir;
  const std::string path = dir.write_text("sparse.pf", "");
  const std::uint64_t size = (4ull << 30) + 10;
  if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) {
    GTEST_SKIP() << "the file system refuses a sparse 4 GiB file";
  }
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(kerf::io::read_whole_file(out, path, 1000));
  EXPECT_EQ(out.size(), 1000u);
}

TEST(ReadWholeFile, ProcFilesThatCannotSeekToTheirEnd) {
  kerf::io::File file;
  if (!file.open_for_read("/proc/self/status")) GTEST_SKIP() << "no /proc";
  EXPECT_EQ(file.size(), 262144u);
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(kerf::io::read_whole_file(out, "/proc/self/status", kLoaderLimit));
  EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "Name:");
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

TEST(OutputFile, WriteErrorsAreTracked) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  kerf::io::OutputFile out;
  ASSERT_TRUE(out.open_results_file("/dev/full", false));
  out.write("one short line\n");
  EXPECT_FALSE(out.close());  // only the final flush fails
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
