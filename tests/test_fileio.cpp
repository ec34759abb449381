#include "lib/uni/fileio.h"
#include "lib/uni/fileio_output.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using kerf::testing::read_file_bytes;
using kerf::testing::read_file_text;
using kerf::testing::TempDir;

constexpr std::uint32_t kLoaderLimit = 16777216;
constexpr std::size_t kBlock = 262144;

std::uint64_t size_on_disk(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : ~0ull;
}

// Fails the test (instead of hanging it) if an open blocks.
class BlockingGuard {
 public:
  BlockingGuard() { ::alarm(20); }
  ~BlockingGuard() { ::alarm(0); }
};

std::vector<std::uint8_t> pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
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

  BlockingGuard guard;
  for (const std::string& path : {fifo, socket_path}) {
    uni::fileio file;
    EXPECT_FALSE(file.open_for_read(path)) << path;
    EXPECT_FALSE(file.open_for_write(path, false)) << path;
    EXPECT_FALSE(file.open_for_write(path, true)) << path;
    EXPECT_FALSE(file.is_open());
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(uni::read_whole_file(out, path, kLoaderLimit)) << path;
  }
  ::close(sock);
}

TEST(FileioOpen, NamesThatCannotBeOpened) {
  TempDir dir;
  const std::string bad_name = dir.file("bad\xC3\x28name.pf");
  dir.write_text("bad\xC3\x28name.pf", "data");  // exists, but the name is not UTF-8
  const std::string with_nul = dir.file("a") + std::string(1, '\0') + "b";
  dir.write_text("a", "data");

  const std::string cases[] = {bad_name, with_nul, "", "/", "\\\\", dir.file("missing.pf")};
  for (const std::string& path : cases) {
    uni::fileio file;
    EXPECT_FALSE(file.open_for_read(path)) << path;
    EXPECT_FALSE(file.is_open());
  }
}

TEST(FileioOpen, TrailingSeparatorsAreRemoved) {
  TempDir dir;
  dir.write_text("dir/sample.bin", "sample");
  for (const char* suffix : {"/", "\\", "//\\"}) {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_read(dir.file("dir/sample.bin") + suffix)) << suffix;
    EXPECT_EQ(file.file_size(), 6u);
    EXPECT_EQ(file.path().back(), L'n');
  }
}

TEST(FileioOpen, OverlongUtf8NameIsOpenedAsWritten) {
  TempDir dir;
  // "\xC0\xAF" decodes (leniently) to '/': it must not reach the system as one.
  dir.write_text("x\xC0\xAFy", "literal");
  dir.write_text("x/y", "other");
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(uni::read_whole_file(out, dir.file("x\xC0\xAFy"), kLoaderLimit));
  EXPECT_EQ(std::string(out.begin(), out.end()), "literal");
}

TEST(FileioWrite, CreateTruncatesAndNoCreateAppends) {
  TempDir dir;
  const std::string path = dir.write_text("results.txt", "old content");
  {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write(path, false));
    EXPECT_EQ(file.file_size(), 11u);
    EXPECT_TRUE(file.append_text(std::string_view("+new")));
  }
  EXPECT_EQ(read_file_text(path), "old content+new");
  {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write(path, true));
    EXPECT_EQ(file.file_size(), 0u);
    std::ostringstream text;
    text << "fresh";
    EXPECT_TRUE(file.append_text(text));
    EXPECT_TRUE(file.append_bytes("", 0));
    EXPECT_EQ(file.file_size(), 5u);
    EXPECT_TRUE(file.close());
  }
  EXPECT_EQ(read_file_text(path), "fresh");

  uni::fileio missing;
  EXPECT_FALSE(missing.open_for_write(dir.file("absent.txt"), false));
  EXPECT_FALSE(missing.append_bytes("x", 1));
}

TEST(FileioWrite, AppendKeepsContentAndCreatesWhenAbsent) {
  TempDir dir;
  const std::string kept = dir.write_text("kept.txt", "earlier\n");
  const std::string fresh = dir.file("fresh.txt");
  for (const std::string& path : {kept, fresh}) {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_append(path)) << path;
    EXPECT_TRUE(file.append_text(std::string_view("added\n")));
    EXPECT_TRUE(file.close());
  }
  EXPECT_EQ(read_file_text(kept), "earlier\nadded\n");
  EXPECT_EQ(read_file_text(fresh), "added\n");
  uni::fileio file;
  EXPECT_FALSE(file.open_for_append(dir.file("no/such/dir/x.txt")));
  EXPECT_FALSE(file.open_for_append(dir.path().string()));  // a directory
}

TEST(FileioWrite, CreatedFilesGetReadWriteBitsReducedByTheUmask) {
  TempDir dir;
  struct Case {
    mode_t umask_bits, expected;
  };
  const Case cases[] = {{022, 0644}, {027, 0640}, {077, 0600}, {0, 0666}};
  const mode_t saved = ::umask(022);
  int n = 0;
  for (const Case& c : cases) {
    ::umask(c.umask_bits);
    const std::string path = dir.file(std::to_string(n++) + ".txt");
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write(path, true));
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, c.expected) << std::oct << c.umask_bits;
  }
  ::umask(saved);
}

TEST(FileioRead, ReadAtStaysInsideTheFile) {
  TempDir dir;
  const std::string path = dir.write_text("ten.bin", "0123456789");
  uni::fileio file;
  ASSERT_TRUE(file.open_for_read(path));

  struct Case {
    std::uint64_t count, offset;
    bool result;
    std::string bytes;
  };
  const Case cases[] = {
      {4, 0, true, "0123"}, {100, 7, true, "789"}, {1, 9, true, "9"},
      {1, 10, false, ""},   {5, 99, false, ""},    {0, 3, true, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> out = {'s', 't', 'a', 'l', 'e'};
    EXPECT_EQ(file.read_at(out, c.count, c.offset), c.result) << c.offset;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.bytes) << c.offset;
  }

  uni::fileio closed;
  std::vector<std::uint8_t> out;
  EXPECT_FALSE(closed.read_at(out, 1, 0));
  EXPECT_EQ(closed.file_size(), 0u);
}

TEST(FileioRead, FileThatShrankAfterOpeningGivesNoZeroBytes) {
  TempDir dir;
  const std::string path = dir.write_text("shrinks.pf", "MAM\x04 some bytes");
  uni::fileio file;
  ASSERT_TRUE(file.open_for_read(path));
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  std::vector<std::uint8_t> out;
  EXPECT_FALSE(file.read_at(out, 16, 0));
  EXPECT_TRUE(out.empty());
}

TEST(ReadWholeFile, LimitsAndFailures) {
  TempDir dir;
  const auto twenty_mib = pattern(20u << 20);
  const std::string big = dir.write("big.pf", twenty_mib);
  const std::string empty = dir.write_text("empty.pf", "");
  const std::string small = dir.write_text("small.pf", "SCCA");

  std::vector<std::uint8_t> out;
  ASSERT_TRUE(uni::read_whole_file(out, big, kLoaderLimit));
  ASSERT_EQ(out.size(), 16777216u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), twenty_mib.begin()));

  ASSERT_TRUE(uni::read_whole_file(out, small, 2));
  EXPECT_EQ(std::string(out.begin(), out.end()), "SC");

  struct Case {
    std::string path;
    std::uint32_t limit;
  };
  const Case failing[] = {
      {empty, kLoaderLimit}, {small, 0},           {"", kLoaderLimit},
      {dir.file("none.pf"), kLoaderLimit},
      {dir.path().string(), kLoaderLimit},  // a directory: no zero bytes as content
  };
  for (const Case& c : failing) {
    out.assign(5, 0xAA);
    EXPECT_FALSE(uni::read_whole_file(out, c.path, c.limit)) << c.path;
    EXPECT_TRUE(out.empty()) << c.path;
  }
}

TEST(ReadWholeFile, ReusesTheCallersBuffer) {
  TempDir dir;
  const std::string path = dir.write_text("a.pf", "SCCA");
  std::vector<std::uint8_t> out;
  out.reserve(1 << 20);
  const auto* block = out.data();
  ASSERT_TRUE(uni::read_whole_file(out, path, kLoaderLimit));
  EXPECT_EQ(out.data(), block);
  EXPECT_GE(out.capacity(), 1u << 20);
}

TEST(ReadWholeFile, SizesBeyondFourGibibytesAreNotCutTo32Bits) {
  TempDir dir;
  const std::string path = dir.write_text("sparse.pf", "");
  const std::uint64_t size = (4ull << 30) + 10;
  if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) {
    GTEST_SKIP() << "the file system refuses a sparse 4 GiB file";
  }
  uni::fileio file;
  ASSERT_TRUE(file.open_for_read(path));
  EXPECT_EQ(file.file_size(), size);
  std::vector<std::uint8_t> out;
  EXPECT_TRUE(file.read_at(out, 100, size - 4));
  EXPECT_EQ(out.size(), 4u);

  ASSERT_TRUE(uni::read_whole_file(out, path, 1000));
  EXPECT_EQ(out.size(), 1000u);
}

TEST(ReadWholeFile, ProcFilesThatCannotSeekToTheirEnd) {
  uni::fileio file;
  if (!file.open_for_read("/proc/self/status")) GTEST_SKIP() << "no /proc";
  EXPECT_EQ(file.file_size(), 262144u);
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(uni::read_whole_file(out, "/proc/self/status", kLoaderLimit));
  EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "Name:");
}

TEST(FileioOutput, BytesReachTheFileOnlyWhenTheBlockOverflowsOrAtClose) {
  TempDir dir;
  const std::string path = dir.file("results.txt");
  const auto bytes = pattern(kBlock + 100);
  {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write(path, true));
    uni::fileio_output* out = uni::attach_output_stream(file);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(file.output_stream(), out);

    out->write(reinterpret_cast<const char*>(bytes.data()), kBlock - 2);
    *out << std::endl;  // the standard flush writes nothing
    out->flush();
    EXPECT_EQ(size_on_disk(path), 0u);
    out->write(reinterpret_cast<const char*>(bytes.data()), 101);
    EXPECT_EQ(size_on_disk(path), kBlock);
    EXPECT_TRUE(out->good());
  }  // destroying the file flushes the rest
  const auto written = read_file_bytes(path);
  ASSERT_EQ(written.size(), kBlock + 100);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + kBlock - 2, written.begin()));
  EXPECT_EQ(written[kBlock - 2], '\n');
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 101, written.begin() + kBlock - 1));

  uni::fileio file;
  ASSERT_TRUE(file.open_for_write(path, false));
  uni::fileio_output* out = uni::attach_output_stream(file);
  ASSERT_NE(out, nullptr);
  *out << "tail" << std::endl;
  EXPECT_TRUE(out->flush_to_file());
  EXPECT_EQ(size_on_disk(path), kBlock + 105);
  *out << "more";
  EXPECT_TRUE(file.close());
  EXPECT_EQ(file.output_stream(), nullptr);
  EXPECT_EQ(size_on_disk(path), kBlock + 109);
}

TEST(FileioOutput, NoStreamForAFileThatIsNotOpen) {
  uni::fileio file;
  EXPECT_EQ(uni::attach_output_stream(file), nullptr);
  EXPECT_EQ(file.output_stream(), nullptr);

  uni::fileio_output orphan(file);
  EXPECT_FALSE(orphan.usable());
  orphan << "dropped";
  EXPECT_TRUE(orphan.bad());
}

TEST(FileioOutput, WriteErrorsAreVisible) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  {
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write("/dev/full", false));
    uni::fileio_output* out = uni::attach_output_stream(file);
    ASSERT_NE(out, nullptr);
    const std::string line(kBlock, 'x');
    *out << line;
    EXPECT_TRUE(out->bad());
    EXPECT_TRUE(file.write_failed());
    EXPECT_FALSE(file.close());
    EXPECT_TRUE(file.write_failed());
  }
  {
    // Only the final flush at close fails.
    uni::fileio file;
    ASSERT_TRUE(file.open_for_write("/dev/full", false));
    uni::fileio_output* out = uni::attach_output_stream(file);
    ASSERT_NE(out, nullptr);
    *out << "one short line" << std::endl;
    EXPECT_TRUE(out->good());
    EXPECT_FALSE(file.close());
    EXPECT_TRUE(file.write_failed());
    EXPECT_FALSE(file.append_bytes("x", 1));
  }
}

}  // namespace
