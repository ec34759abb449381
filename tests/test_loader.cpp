// Loading Prefetch files from disk: containers undone (with their checksums
// and methods), the 16 MiB read limit and the message for a file compressed
// in a way kerf does not know. (The file's times are those the command-line
// tests check.)
#include "prefetch/loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/prefetch_image_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xpress_encoder.h"

namespace {

using kerf::testing::ByteVector;

ByteVector sample_image(std::uint32_t version) {
  return kerf::testing::PrefetchImageBuilder(version)
      .exe_name(L"NOTEPAD.EXE")
      .file_names({L"\\VOLUME{1}\\NTDLL.DLL", L"\\VOLUME{1}\\NOTEPAD.EXE"})
      .build();
}

// One loader for every file, its buffers reused from one kind to the next;
// the size is the file's own. The "MAM" header's fourth byte: a checksum is
// checked and reported, a method the decoder does not know fails the file.
TEST(Loader, UndoesContainersWithTheirChecksumsAndMethods) {
  using kerf::ContainerKind;
  const ByteVector image = sample_image(30);
  ByteVector wrong_sum = kerf::testing::with_mam_checksum(kerf::testing::make_mam_lz77_container(image));
  wrong_sum[8] ^= 0xFF;
  ByteVector unknown = kerf::testing::make_mam_container(image);
  unknown[3] = 0x85;
  ByteVector big = sample_image(17);
  big.resize(20u * 1024 * 1024, 0xEE);  // read up to 16 MiB: the sections lie in the first part
  struct Case {
    ByteVector bytes;
    kerf::LoadError error;
    ContainerKind kind;
    std::uint8_t method;
    bool checksum_present;
    bool checksum_matches;
  };
  const Case cases[] = {
      {kerf::testing::make_mam_container(image), kerf::LoadError::none, ContainerKind::mam, 4, false, false},
      {kerf::testing::with_mam_checksum(kerf::testing::make_mam_container(image)), kerf::LoadError::none,
       ContainerKind::mam, 4, true, true},
      {wrong_sum, kerf::LoadError::none, ContainerKind::mam, 3, true, false},
      {kerf::testing::make_mem0_container(image), kerf::LoadError::none, ContainerKind::mem0, 4, false, false},
      {big, kerf::LoadError::none, ContainerKind::none, 0, false, false},
      {unknown, kerf::LoadError::unknown_compression, ContainerKind::none, 0, false, false},
  };
  kerf::testing::TempDir dir;
  kerf::PrefetchLoader loader;
  kerf::PrefetchRecord record;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes.size() << " bytes, method " << int{c.method});
    const kerf::LoadResult result = loader.load(dir.write("x.pf", c.bytes), record);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(record.source.size, c.bytes.size());
    EXPECT_EQ(record.container, c.kind);
    EXPECT_EQ(record.container_method, c.method);
    EXPECT_EQ(record.checksum_present, c.checksum_present);
    EXPECT_EQ(record.checksum_matches, c.checksum_matches);
    EXPECT_EQ(record.app_path, result.ok() ? "\\VOLUME{1}\\NOTEPAD.EXE" : "");
  }
  EXPECT_EQ(kerf::describe({kerf::LoadError::unknown_compression}), "compressed by a method kerf does not know");
  // A file whose sections lie past the first 16 MiB does not decode.
  ByteVector far = sample_image(17);
  far.resize(17u * 1024 * 1024, 0);
  const std::vector<std::uint8_t> names_offset{2, 0, 0, 1};  // 16 MiB + 2
  std::copy(names_offset.begin(), names_offset.end(), far.begin() + 100);
  EXPECT_EQ(loader.load(dir.write("far.pf", far), record).error, kerf::LoadError::sections_outside);
}

}  // namespace
