// The test kit's shadow copies, read by libvshadow's own tools: vshadowinfo
// lists the stores, pyvshadow reads every store back as the older state it
// was made from, byte for byte, and the live volume's files and folders
// read as before through The Sleuth Kit.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testkit/ntfs_image.h"
#include "testkit/temp_dir.h"
#include "tests/support/run_kerf.h"
#include "testkit/vss_image.h"

namespace {

using kerf::testing::TempDir;
using kerf::testing::output_of;

// Prints the number of stores, then per store its creation time and
// whether it reads as the given volume, or where it first differs.
constexpr const char* kReadBack = R"(import sys, pyvshadow
volume = pyvshadow.volume()
volume.open(sys.argv[1])
print("stores", volume.number_of_stores)
for index, path in enumerate(sys.argv[2:]):
    store = volume.get_store(index)
    want = open(path, "rb").read()
    got = store.read_buffer_at_offset(len(want), 0)
    differs = next((at for at in range(0, len(want), 512) if got[at:at + 512] != want[at:at + 512]), None)
    print(store.get_creation_time_as_integer(), "same" if differs is None else "differs at %#x" % differs)
)";

std::string why_skip() {
  std::string missing = kerf::testing::missing_tools({"mkntfs", "kerf_ntfs_writer", "vshadowinfo", "fls", "icat", "blkls"});
  if (missing.empty() && kerf::testing::vss_writer().empty()) missing = "kerf_vss_writer not built";
  if (missing.empty() && output_of("/usr/bin/python3 -c 'import pyvshadow; print(1)' 2>/dev/null") != "1\n")
    missing = "pyvshadow (python3-libvshadow) not found";
  return missing;
}

TEST(VssWriter, StoresReadBackAsTheOlderStates) {
  if (const std::string missing = why_skip(); !missing.empty()) GTEST_SKIP() << missing;
  const TempDir dir;
  const auto history = kerf::testing::make_prefetch_history(dir.path().string());
  ASSERT_EQ(history.states.size(), 3u);

  // One store alone, under a file rewritten larger and a new one; the live
  // volume lists the same before and after.
  const std::string single = dir.file("single.raw"), older = dir.file("older.raw");
  const auto a = kerf::testing::make_ntfs_volume(older, 4 * 1024 * 1024, {{"\\A.pf", std::vector<std::uint8_t>(5000, 'a')}});
  std::filesystem::copy_file(older, single);
  kerf::testing::run_ntfs_writer(single, {"fill\t\\A.pf\t" + dir.write_text("b", std::string(70000, 'b')),
                                          "put\t\\B.pf\t" + dir.write_text("c", "c")});
  // Two stores where the first equals the live volume and the second does
  // not: reading the first must not go through to the second's blocks.
  const std::string plain = dir.file("plain.raw"), same = dir.file("same.raw"), changed = dir.file("changed.raw");
  for (const auto& copy : {plain, same, changed}) std::filesystem::copy_file(older, copy);
  std::fstream(changed, std::ios::binary | std::ios::in | std::ios::out).seekp(0x4000).write("changed", 7);
  kerf::testing::add_shadow_copies(plain, {same, changed}, {130000000000000000ull, 130000000000000001ull});

  const std::string listing = output_of("fls -r -p " + single), before = dir.file("before.raw");
  std::filesystem::copy_file(single, before);
  kerf::testing::add_shadow_copies(single, {older}, {});
  // Only free clusters changed, and the one holding the header at 0x1e00.
  const std::string free = output_of("blkls -l -A " + before);
  const auto old_bytes = kerf::testing::read_file_bytes(before), new_bytes = kerf::testing::read_file_bytes(single);
  for (std::size_t at = 8192; at < old_bytes.size(); at += 4096)
    if (!std::equal(old_bytes.begin() + at, old_bytes.begin() + at + 4096, new_bytes.begin() + at)) {
      EXPECT_NE(free.find("\n" + std::to_string(at / 4096) + "|f\n"), std::string::npos) << "cluster " << at / 4096;
    }
  EXPECT_EQ(output_of("fls -r -p " + single), listing);
  EXPECT_EQ(output_of("icat " + single + " " + std::to_string(a[0].mft_entry)), std::string(70000, 'b'));

  const std::string script = dir.write_text("read_back.py", kReadBack);
  struct Case {
    std::string live;
    std::vector<std::string> older;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {single, {older}, "stores 1\n132223104000000000 same\n"},
      {plain, {same, changed}, "stores 2\n130000000000000000 same\n130000000000000001 same\n"},
      {history.live_volume,
       {history.states[0].volume, history.states[1].volume},
       "stores 2\n" + std::to_string(history.states[0].creation_time) + " same\n" +
           std::to_string(history.states[1].creation_time) + " same\n"},
  };
  for (const auto& c : cases) {
    std::string command = "/usr/bin/python3 " + script + " " + c.live;
    for (const auto& path : c.older) command += " " + path;
    EXPECT_EQ(output_of(command + " 2>&1"), c.expected) << c.live;
    const std::string info = output_of("vshadowinfo " + c.live + " 2>&1");
    EXPECT_NE(info.find("Number of stores:\t" + std::to_string(c.older.size()) + "\n"), std::string::npos) << info;
  }
  EXPECT_NE(output_of("vshadowinfo " + history.live_volume).find("Creation time\t\t: Feb 28, 2021 06:00:00"),
            std::string::npos);

  // What the history promises, in the live volume as The Sleuth Kit reads it.
  const auto& live = history.states[2];
  EXPECT_EQ(live.files.size(), 2u);
  EXPECT_LT(live.find("CMD.EXE-4A81B364.pf")->run_count, history.states[1].find("CMD.EXE-4A81B364.pf")->run_count);
  EXPECT_NE(history.states[1].find("CALC.EXE-AC08706A.pf"), nullptr);
  for (const auto& file : live.files) {
    const std::string bytes = output_of("icat " + history.live_volume + " " + std::to_string(file.reference.mft_entry));
    EXPECT_EQ(bytes, std::string(file.bytes.begin(), file.bytes.end())) << file.name;
  }
}

}  // namespace
