// The NTFS test kit, checked with tools that read volumes and images on
// their own: the files, folders, deleted files and references it makes
// (fls, icat, istat), its partitioned disks (mmls) and its image formats
// (ewfinfo, img_stat, qemu-img).
#include "testkit/ntfs_image.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "testkit/temp_dir.h"
#include "tests/support/run_kerf.h"

namespace {

using namespace kerf::testing;

constexpr std::uint64_t kMiB = 1024 * 1024;

#define SKIP_WITHOUT(...)                                                      \
  if (const std::string missing = missing_tools({__VA_ARGS__}); !missing.empty()) \
  GTEST_SKIP() << missing

std::vector<std::uint8_t> noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// What a tool printed; a failed run fails the test.
std::string tool_output(const std::string& tool, const Args& args) {
  const RunResult run = run_program(find_tool(tool), args);
  EXPECT_EQ(run.status, 0) << tool << ": " << run.err;
  return run.out;
}

std::string files_listed(const std::string& image) {
  std::string listed;
  for (const auto& line : lines_of(tool_output("fls", {"-r", "-p", image})))
    if (line.find('$') == std::string::npos) listed += line + '\n';
  return listed;
}

TEST(NtfsImage, VolumeHoldsFilesDeletedFilesAndTheirReferences) {
  SKIP_WITHOUT("kerf_ntfs_writer", "mkntfs", "fls", "icat", "istat");
  const TempDir dir;
  const std::string image = dir.file("volume.img");
  const std::vector<NtfsFile> files{{"\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf", noise(9000, 1)},
                                    {"\\Windows\\Prefetch\\NOTEPAD.EXE-D8414F97.pf", noise(300, 2)},
                                    {"\\Windows\\Prefetch\\GONE.EXE-00000001.pf", noise(7000, 3), true}};
  const auto references = make_ntfs_volume(image, 8 * kMiB, files);

  // Folders take entries 64 and 65; the files follow in order.
  ASSERT_EQ(references.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(references[i].mft_entry, 66 + i);
    EXPECT_EQ(references[i].sequence, 1);
  }
  EXPECT_EQ(references[2].packed(), 0x0001000000000044u);
  EXPECT_EQ(files_listed(image),
            "d/d 64-144-2:\tWindows\n"
            "d/d 65-144-2:\tWindows/Prefetch\n"
            "r/r 66-128-2:\tWindows/Prefetch/CMD.EXE-4A81B364.pf\n"
            "r/r 67-128-2:\tWindows/Prefetch/NOTEPAD.EXE-D8414F97.pf\n"
            "-/r * 68-128-2:\tWindows/Prefetch/GONE.EXE-00000001.pf\n");
  // The deleted file's clusters are free but still hold its bytes.
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string bytes = tool_output("icat", {image, std::to_string(66 + i)});
    EXPECT_EQ(bytes, std::string(files[i].bytes.begin(), files[i].bytes.end())) << files[i].path;
  }

  // A new file takes the lowest freed entry (next sequence) and, as nothing
  // was allocated after them, the freed clusters; so does one made after a
  // delete in the same run. Then its times are set.
  const std::string host = dir.write("new", noise(7000, 4));
  const std::string other = dir.write("other", noise(3000, 5));
  const std::string gone_clusters = lines_of(tool_output("istat", {image, "68"})).back();
  const auto printed = run_ntfs_writer(
      image, {"put\t\\Windows\\Prefetch\\NEW.EXE-00000002.pf\t" + host,
              "delete\t\\Windows\\Prefetch\\NOTEPAD.EXE-D8414F97.pf", "put\t\\LATE.pf\t" + host,
              "fill\t\\LATE.pf\t" + other,
              "times\t\\Windows\\Prefetch\\NEW.EXE-00000002.pf\t130000000000000000\t130000000010000000\t"
              "130000000020000000\t130000000030000000"});
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(reference_of(printed[0]).packed(), 0x0002000000000044u);
  EXPECT_EQ(reference_of(printed[1]).packed(), 0x0002000000000043u);
  EXPECT_EQ(tool_output("icat", {image, "68"}), read_file_text(host));
  EXPECT_EQ(lines_of(tool_output("istat", {image, "68"})).back(), gone_clusters);
  EXPECT_EQ(tool_output("icat", {image, "67"}), read_file_text(other));
  const std::string stat = tool_output("istat", {image, "68"});
  EXPECT_NE(stat.find("Created:\t2012-12-14 23:06:40.000000000 (UTC)\n"
                      "File Modified:\t2012-12-14 23:06:41.000000000 (UTC)\n"
                      "MFT Modified:\t2012-12-14 23:06:42.000000000 (UTC)\n"
                      "Accessed:\t2012-12-14 23:06:43.000000000 (UTC)\n"),
            std::string::npos)
      << stat;

  set_ntfs_volume_serial(image, 0x1122334455667788u);
  EXPECT_EQ(ntfs_volume_serial(image), 0x1122334455667788u);
  EXPECT_THROW(run_ntfs_writer(image, {"delete\t\\Windows\\NOTHERE.pf"}), std::runtime_error);
}

TEST(NtfsImage, DisksHoldTheirPartitionsAndVolumes) {
  SKIP_WITHOUT("kerf_ntfs_writer", "mkntfs", "sfdisk", "mmls", "fls");
  const TempDir dir;
  const std::string volume = dir.file("volume.img");
  make_ntfs_volume(volume, 3 * kMiB, {{"\\Windows\\Prefetch\\A.EXE-00000001.pf", noise(100, 5)}});
  struct Row {
    bool gpt;
    std::vector<Partition> parts;
    std::uint64_t volume_sector;
    std::string table;
  };
  const std::vector<Row> rows{
      {true,
       {{1 * kMiB, 3 * kMiB, volume, kGptBasicData}},
       2048,
       "004:  000       0000002048   0000008191   0000006144   \n"},
      {false,
       {{1 * kMiB, 3 * kMiB, volume, "7"}, {5 * kMiB, 10 * kMiB, "", "5"}, {6 * kMiB, 3 * kMiB, volume, "7"}},
       12288,
       "004:  Meta      0000010240   0000030719   0000020480   DOS Extended (0x05)\n"
       "005:  Meta      0000010240   0000010240   0000000001   Extended Table (#1)\n"
       "006:  001:000   0000012288   0000018431   0000006144   NTFS / exFAT (0x07)\n"}};
  for (const auto& row : rows) {
    const std::string disk = dir.file("disk.img");
    make_disk(disk, 16 * kMiB, row.gpt, row.parts);
    EXPECT_NE(tool_output("mmls", {disk}).find(row.table), std::string::npos) << row.table;
    EXPECT_NE(tool_output("fls", {"-r", "-p", "-o", std::to_string(row.volume_sector), disk}).find("A.EXE-00000001.pf"),
              std::string::npos);
  }
}

TEST(NtfsImage, ConversionsHoldTheRawImage) {
  SKIP_WITHOUT("kerf_ntfs_writer", "mkntfs", "ewfacquire", "ewfinfo", "img_stat", "qemu-img");
  const TempDir dir;
  const std::string raw = dir.file("volume.img");
  make_ntfs_volume(raw, 3 * kMiB, {{"\\A.pf", noise(5000, 6)}});
  struct Row {
    ImageFormat format;
    std::size_t files;
    Args check;  // "{}" stands for the first file made
    std::string expected;
  };
  const std::vector<Row> rows{
      {ImageFormat::E01, 4, {"ewfinfo", "{}"}, "Media size:\t\t3.0 MiB (3145728 bytes)"},
      {ImageFormat::SplitRaw, 3, {"img_stat", "{}"}, "Size in bytes: 3145728"},
      {ImageFormat::Qcow2, 1, {"qemu-img", "compare", "-f", "raw", "-F", "qcow2", raw, "{}"}, "Images are identical."},
      {ImageFormat::Vmdk, 1, {"qemu-img", "compare", "-f", "raw", "-F", "vmdk", raw, "{}"}, "Images are identical."},
      {ImageFormat::Vhd, 1, {"qemu-img", "compare", "-f", "raw", "-F", "vpc", raw, "{}"}, "Images are identical."},
      {ImageFormat::Vhdx, 1, {"qemu-img", "compare", "-f", "raw", "-F", "vhdx", raw, "{}"}, "Images are identical."}};
  for (const auto& row : rows) {
    const auto made = convert_image(raw, row.format, dir.file("converted"));
    ASSERT_EQ(made.size(), row.files) << row.expected;
    Args args(row.check.begin() + 1, row.check.end());
    for (auto& arg : args)
      if (arg == "{}") arg = made.front();
    EXPECT_NE(tool_output(row.check.front(), args).find(row.expected), std::string::npos) << made.front();
  }
}

}  // namespace
