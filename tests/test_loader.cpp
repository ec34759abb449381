// Loading Prefetch files from disk: the file's own facts, containers undone,
// the 16 MiB read limit, and buffers reused from one file to the next.
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

using kerf::testing::PrefetchImageBuilder;
using kerf::testing::TempDir;

std::vector<std::uint8_t> sample_image(std::uint32_t version = 30) {
  return PrefetchImageBuilder(version)
      .exe_name(L"NOTEPAD.EXE")
      .run_times({130971962938281250ull, 130971962000000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{1}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\VOLUME{1}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"})
      .add_volume({L"\\VOLUME{1}", 0x8c9f49ec, 130922674662434681ull, {L"\\VOLUME{1}\\WINDOWS"}})
      .build();
}

bool load(const std::string& path, kerf::PrefetchEntry& entry, kerf::LoadBuffers& buffers) {
  kerf::clear_entry(entry);
  return kerf::load_prefetch_file(path, /*messages=*/nullptr, entry, buffers);
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
  EXPECT_EQ(entry.source_stamps.stamp_m, 1500000000ull * 10000000 + qv::kUnixEpochFiletime);
  // Reading the file may itself move its access time forward: compare with
  // what the file system says now.
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  const auto filetime = [](std::int64_t seconds) {
    return static_cast<std::uint64_t>(seconds) * 10000000 + qv::kUnixEpochFiletime;
  };
  EXPECT_EQ(entry.source_stamps.stamp_a, filetime(after.st_atim.tv_sec));
  EXPECT_EQ(entry.source_stamps.stamp_b, filetime(after.st_ctim.tv_sec));
  EXPECT_EQ(entry.source_stamps.stamp_c, 0u);
  EXPECT_EQ(entry.source_stamps.kind, qv::TimelineStamps::kFiletime);
  EXPECT_EQ(entry.source_stamps.subject, "PF");
  EXPECT_EQ(entry.source_stamps.labels,
            (std::array<std::string, 4>{"", "", "Time last run", ""}));
}

TEST(Loader, UndoesContainersAndReportsTheFileSizeNotTheImageSize) {
  TempDir dir;
  const auto image = sample_image();
  const auto mam = kerf::testing::make_mam_container(image);
  const auto mem0 = kerf::testing::make_mem0_container(image);
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  for (const auto& bytes : {mam, mem0, image, mam}) {  // buffers reused across kinds
    ASSERT_TRUE(load(dir.write("x.pf", bytes), entry, buffers));
    EXPECT_EQ(entry.source_size, bytes.size());
    EXPECT_EQ(entry.format_label, "Win10 Prefetch");
    EXPECT_EQ(entry.run_count, 2u);
    EXPECT_EQ(entry.app_path, "\\VOLUME{1}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE");
    ASSERT_EQ(entry.volume_paths.size(), 1u);
    EXPECT_EQ(entry.volume_serials[0], 0x8c9f49ecu);
  }
}

TEST(Loader, FailsCleanlyOnWhatIsNotAPrefetchFile) {
  TempDir dir;
  auto damaged_mam = kerf::testing::make_mam_container(sample_image());
  damaged_mam.resize(12);  // header only: no container, no image
  std::vector<std::uint8_t> huge_claim = {'M', 'A', 'M', 0x04, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases = {
      {"empty", {}},
      {"text", std::vector<std::uint8_t>(300, 'x')},
      {"container header only", damaged_mam},
      {"container claiming 4 GiB", huge_claim},
  };
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  for (const auto& [name, bytes] : cases) {
    EXPECT_FALSE(load(dir.write(name, bytes), entry, buffers)) << name;
  }
  EXPECT_FALSE(load(dir.file("missing.pf"), entry, buffers));
  EXPECT_FALSE(load(dir.path().string(), entry, buffers));  // a directory
}

TEST(Loader, ReadsAtMostTheFirst16MiB) {
  TempDir dir;
  auto bytes = sample_image(17);
  bytes.resize(20u * 1024 * 1024, 0xEE);  // the sections lie in the first part
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  ASSERT_TRUE(load(dir.write("big.pf", bytes), entry, buffers));
  EXPECT_EQ(entry.source_size, bytes.size());
  EXPECT_EQ(buffers.image.size(), kerf::kMaxPrefetchFileSize);
  EXPECT_EQ(entry.format_label, "WinXP Prefetch");
}

TEST(Loader, DamageAfterTheSectionsStillGivesARecord) {
  TempDir dir;
  auto image = sample_image();
  image.resize(image.size() + 70000, 0);  // a second Huffman block the parser never needs
  auto mam = kerf::testing::make_mam_container(image);
  mam.resize(mam.size() - 40);  // cut the stream short: the tail decodes as zeros
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  ASSERT_TRUE(load(dir.write("cut.pf", mam), entry, buffers));
  EXPECT_EQ(entry.exe_name, "NOTEPAD.EXE");
  EXPECT_EQ(entry.loaded_files.size(), 2u);
}

TEST(FileStats, ZeroAndFalseWithoutAFile) {
  std::uint64_t size = 1, changed = 1, modified = 1, accessed = 1;
  std::uint32_t mode = 1;
  EXPECT_FALSE(kerf::get_file_stats(std::wstring(), size, mode, changed, modified, accessed));
  EXPECT_EQ(size + mode + changed + modified + accessed, 0u);
  EXPECT_FALSE(kerf::get_file_stats(std::wstring(L"/no/such/file"), size, mode, changed, modified,
                                    accessed));
}

}  // namespace

namespace {

struct CapturedMessages : qv::message_sink {
  std::string text;
  void write_message(std::string_view message) override { text += message; }
};

TEST(LoaderMessages, UnreadableFileIsNamedWithItsControlCharactersVisible) {
  CapturedMessages messages;
  kerf::PrefetchEntry entry;
  kerf::LoadBuffers buffers;
  EXPECT_FALSE(kerf::load_prefetch_file("/no/such/\x1b]0;owned\x07x.pf", &messages, entry, buffers));
  EXPECT_EQ(messages.text, "prob reading file /no/such/\\x1b]0;owned\\x07x.pf\n");
  messages.text.clear();
  EXPECT_FALSE(kerf::load_prefetch_file("/no/such/plain.pf", nullptr, entry, buffers));
  EXPECT_EQ(messages.text, "");
}

}  // namespace
