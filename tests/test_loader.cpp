// Loading Prefetch files from disk: the file's own facts, containers undone,
// the 16 MiB read limit and the message for a file that can't be read.
#include "prefetch/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <string>
#include <vector>

#include "lib/qv_time.h"
#include "tests/support/prefetch_image_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

namespace {

using kerf::testing::TempDir;

std::vector<std::uint8_t> sample_image(std::uint32_t version = 30) {
  return kerf::testing::PrefetchImageBuilder(version)
      .exe_name(L"NOTEPAD.EXE")
      .file_names({L"\\VOLUME{1}\\NTDLL.DLL", L"\\VOLUME{1}\\NOTEPAD.EXE"})
      .build();
}

bool load(const std::string& path, kerf::PrefetchEntry& entry, kerf::LoadBuffers& buffers) {
  kerf::clear_entry(entry);
  return kerf::load_prefetch_file(path, /*messages=*/nullptr, entry, buffers);
}

std::uint64_t filetime(std::int64_t unix_seconds) {
  return static_cast<std::uint64_t>(unix_seconds) * 10000000 + qv::kUnixEpochFiletime;
}

TEST(Loader, RecordsTheFileOwnFactsBesideTheDecodedImage) {
  TempDir dir;
  const auto image = sample_image();
  const std::string path = dir.write("NOTEPAD.EXE-1.pf", image);
  const utimbuf times{/*actime=*/1500000000, /*modtime=*/1500000000};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  ASSERT_TRUE(load(path, entry, buffers));
  EXPECT_EQ(entry.exe_name, "NOTEPAD.EXE");
  EXPECT_EQ(entry.source_size, image.size());
  EXPECT_EQ(entry.source_mode & 07777, 0640u);
  EXPECT_TRUE(S_ISREG(entry.source_mode));
  EXPECT_EQ(entry.source_stamps.stamp_m, filetime(1500000000));
  struct stat after {};  // reading the file may have moved its access time
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(entry.source_stamps.stamp_a, filetime(after.st_atim.tv_sec));
}

TEST(Loader, UndoesContainersAndReadsAtMostTheFirst16MiB) {
  TempDir dir;
  const auto image = sample_image();
  auto big = sample_image(17);
  big.resize(20u * 1024 * 1024, 0xEE);  // the sections lie in the first part
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  // Buffers reused from one kind to the next; the size is the file's own.
  for (const auto& bytes : {kerf::testing::make_mam_container(image), kerf::testing::make_mem0_container(image), big}) {
    ASSERT_TRUE(load(dir.write("x.pf", bytes), entry, buffers));
    EXPECT_EQ(entry.source_size, bytes.size());
    EXPECT_EQ(entry.app_path, "\\VOLUME{1}\\NOTEPAD.EXE");
  }
  EXPECT_EQ(buffers.image.size(), 16u * 1024 * 1024);
  EXPECT_EQ(entry.format_label, "WinXP Prefetch");
}

// Collects what the loader reports.
struct CapturedMessages : qv::message_sink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

TEST(Loader, UnreadableFileIsNamedWithItsControlCharactersVisible) {
  CapturedMessages messages;
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  EXPECT_FALSE(kerf::load_prefetch_file("/no/such/\x1b]0;owned\x07x.pf", &messages, entry, buffers));
  EXPECT_EQ(messages.text, "prob reading file /no/such/\\x1b]0;owned\\x07x.pf\n");
  EXPECT_FALSE(kerf::load_prefetch_file("/no/such/plain.pf", nullptr, entry, buffers));  // -quiet
}

}  // namespace
