// Loading Prefetch files from disk: the file's own facts, containers undone,
// the 16 MiB read limit and the message for a file that can't be read.
#include "prefetch/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <string>
#include <algorithm>
#include <vector>

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

std::uint64_t filetime(std::int64_t unix_seconds) {
  return static_cast<std::uint64_t>(unix_seconds) * 10000000 + 116444736000000000ull;
}

TEST(Loader, RecordsTheFileOwnFactsBesideTheDecodedImage) {
  TempDir dir;
  const auto image = sample_image();
  const std::string path = dir.write("NOTEPAD.EXE-1.pf", image);
  // An access time older than the modification: the read below moves it
  // on a relatime mount, and the record must still hold the earlier one.
  const utimbuf times{/*actime=*/1400000000, /*modtime=*/1500000000};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  kerf::PrefetchRecord record;
  kerf::PrefetchLoader loader;
  ASSERT_TRUE(loader.load(path, record).ok());
  EXPECT_EQ(record.exe_name, "NOTEPAD.EXE");
  EXPECT_EQ(record.source.size, image.size());
  EXPECT_EQ(record.source.mode & 07777, 0640u);
  EXPECT_TRUE(S_ISREG(record.source.mode));
  EXPECT_EQ(record.source.modified, filetime(1500000000));
  EXPECT_EQ(record.source.accessed, filetime(1400000000));
}

TEST(Loader, UndoesContainersAndReadsAtMostTheFirst16MiB) {
  TempDir dir;
  const auto image = sample_image();
  auto big = sample_image(17);
  big.resize(20u * 1024 * 1024, 0xEE);  // the sections lie in the first part
  kerf::PrefetchRecord record;
  kerf::PrefetchLoader loader;
  // Buffers reused from one kind to the next; the size is the file's own.
  const kerf::ContainerKind kinds[] = {kerf::ContainerKind::mam, kerf::ContainerKind::mem0, kerf::ContainerKind::none};
  int i = 0;
  for (const auto& bytes : {kerf::testing::make_mam_container(image), kerf::testing::make_mem0_container(image), big}) {
    ASSERT_TRUE(loader.load(dir.write("x.pf", bytes), record).ok());
    EXPECT_EQ(record.source.size, bytes.size());
    EXPECT_EQ(record.container, kinds[i++]);
    EXPECT_EQ(record.app_path, "\\VOLUME{1}\\NOTEPAD.EXE");
  }
  EXPECT_EQ(record.format_label(), "WinXP Prefetch");
  // A file cut after 16 MiB still decodes; one with its sections past the
  // cut does not.
  auto far = sample_image(17);
  far.resize(17u * 1024 * 1024, 0);
  const std::vector<std::uint8_t> names_offset{2, 0, 0, 1};  // 16 MiB + 2
  std::copy(names_offset.begin(), names_offset.end(), far.begin() + 100);
  EXPECT_EQ(loader.load(dir.write("far.pf", far), record).error, kerf::LoadError::sections_outside);
}

// The "MAM" header's fourth byte: a checksum is checked and reported, a
// method the decoder does not know fails the file with its own reason.
TEST(Loader, ChecksumsAndCompressionMethods) {
  TempDir dir;
  const auto image = sample_image();
  auto wrong_sum = kerf::testing::with_mam_checksum(kerf::testing::make_mam_lz77_container(image));
  wrong_sum[8] ^= 0xFF;
  auto unknown = kerf::testing::make_mam_container(image);
  unknown[3] = 0x85;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    kerf::LoadError error;
    std::uint8_t method;
    bool checksum_present;
    bool checksum_matches;
  };
  const Case cases[] = {
      {"Huffman, checksum holds", kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(image)),
       kerf::LoadError::none, 4, true, true},
      {"LZ77, checksum fails", wrong_sum, kerf::LoadError::none, 3, true, false},
      {"no checksum", kerf::testing::make_mam_lz77_container(image), kerf::LoadError::none, 3, false, false},
      {"unknown method", unknown, kerf::LoadError::unknown_compression, 0, false, false},
  };
  kerf::PrefetchLoader loader;
  kerf::PrefetchRecord record;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const kerf::LoadResult result = loader.load(dir.write("x.pf", c.bytes), record);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(record.container_method, c.method);
    EXPECT_EQ(record.checksum_present, c.checksum_present);
    EXPECT_EQ(record.checksum_matches, c.checksum_matches);
    EXPECT_EQ(record.app_path, result.ok() ? "\\VOLUME{1}\\NOTEPAD.EXE" : "");
  }
  EXPECT_EQ(kerf::describe({kerf::LoadError::unknown_compression}), "compressed by a method kerf does not know");
}

}  // namespace
