// -carve on files: Prefetch files planted at odd offsets among random bytes
// are found with the facts they give loose, in offset order, the same on
// any number of threads; a find cut short is marked in every layout; finds
// inside finds and repeats of one content are reported once; and what can't
// be carved fails the run with the reason.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "testkit/corpus.h"
#include "testkit/ntfs_image.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/vss_image.h"
#include "testkit/xpress_encoder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/small_prefetch.h"

namespace {

using kerf::testing::Args;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
namespace kit = kerf::testing;
using Bytes = std::vector<std::uint8_t>;

Bytes random_bytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes made(std::uint32_t version, const std::wstring& exe) { return kit::small_prefetch(version, exe); }

// A JSON record without what only the file itself, or its name, can say.
std::string facts_of(const std::string& record) {
  static const std::regex own(R"("source":\{[^}]*\},|"name_hash":("[0-9A-F]+"|null),|,"name_matches":(true|false|null))");
  return std::regex_replace(record, own, "");
}

// Random bytes with files planted at odd offsets, written loose too.
struct Blob {
  TempDir dir;
  std::string path = dir.file("blob.bin");
  std::vector<std::string> loose;    // in offset order
  std::vector<std::uint64_t> offsets;
  Bytes bytes;

  explicit Blob(const std::vector<Bytes>& files) {
    std::mt19937 random(11);
    bytes = random_bytes(5001, 1);
    for (std::size_t i = 0; i < files.size(); ++i) {
      offsets.push_back(bytes.size());
      bytes.insert(bytes.end(), files[i].begin(), files[i].end());
      const Bytes gap = random_bytes(1 + 2 * (random() % 40000), static_cast<unsigned>(i) + 2);
      bytes.insert(bytes.end(), gap.begin(), gap.end());
      loose.push_back(dir.write("loose" + std::to_string(i) + ".pf", files[i]));
    }
    write(bytes);
  }
  void write(const Bytes& content) const {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                 static_cast<std::streamsize>(content.size()));
  }
};

std::vector<Bytes> every_kind() {
  std::vector<Bytes> files = {made(17, L"XP.EXE"), made(23, L"VISTA.EXE"), made(26, L"EIGHT.EXE"),
                              kit::make_mam_container(made(30, L"TEN.EXE")),
                              kit::with_mam_checksum(kit::make_mam_container(made(31, L"ELEVEN.EXE"))),
                              kit::make_mem0_container(made(30, L"MEMZERO.EXE")),
                              kit::make_lz77_container(made(30, L"LZ.EXE")),
                              // Plain LZ77 keeps "SCCA" among its literals: a hit inside the find.
                              kit::make_mam_lz77_container(made(30, L"MAMLZ.EXE"))};
  if (const auto corpus = kit::corpus_dir()) {
    for (const char* name : {"/Win10/CHROME.EXE-B3BA7868.pf", "/Win7/PING.EXE-B29F6629.pf", "/XPPro/NOTEPAD.EXE-336351A9.pf"}) {
      std::ifstream in(*corpus + name, std::ios::binary);
      files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return files;
}

TEST(CarveFiles, FindsEveryKindAtItsOffsetWithTheFactsItGivesLoose) {
  const Blob blob(every_kind());
  const RunResult carved = kit::run_kerf({"-carve", blob.path, "-json", "-threads", "1"});
  ASSERT_EQ(carved.status, 0) << carved.err;
  const std::vector<std::string> records = kit::lines_of(carved.out);
  ASSERT_EQ(records.size(), blob.loose.size()) << carved.out;
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(blob.loose[i]);
    const std::string shown = blob.path + ":carved@" + std::to_string(blob.offsets[i]);
    EXPECT_NE(records[i].find(R"({"source":{"path":")" + shown + R"(","name":"carved@)" +
                              std::to_string(blob.offsets[i]) + R"(","size":)"),
              std::string::npos)
        << records[i];
    EXPECT_NE(records[i].find(R"("carved":true,"offset":)" + std::to_string(blob.offsets[i]) + R"(,"partial":false})"),
              std::string::npos);
    const RunResult loose = kit::run_kerf({"-json", blob.loose[i]});
    EXPECT_EQ(facts_of(records[i]), facts_of(kit::lines_of(loose.out).at(0)));
  }
  EXPECT_EQ(carved.err, "kerf: " + std::to_string(records.size()) + " files: " + std::to_string(records.size()) +
                            " reported, 0 failed, 1 stream carved (0 hits did not decode, 0 finds repeated reported files)\n");
  // Pieces shared by threads, and slices read apart, give the same output.
  for (const Args& layout : {Args{"-json"}, Args{"-csv"}, Args{"-csvl2t"}, Args{"-bodyfile"}, Args{"-timesketch"}, Args{}}) {
    SCOPED_TRACE(layout.empty() ? "long form" : layout.front());
    Args one = {"-carve", blob.path, "-no_run_header", "-threads", "1"};
    Args four = {"-carve", blob.path, "-no_run_header", "-threads", "4"};
    one.insert(one.end(), layout.begin(), layout.end());
    four.insert(four.end(), layout.begin(), layout.end());
    const RunResult a = kit::run_kerf(one);
    const RunResult b = kit::run_kerf(four);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, b.err);
  }
}

// Cut inside its volumes, a find keeps its run times and loaded files and
// leaves the volumes out; every layout marks it.
TEST(CarveFiles, AFindCutShortIsMarkedInEveryLayout) {
  const Bytes image = made(26, L"CUT.EXE");
  const Blob blob({image});
  const std::uint32_t volumes = kit::image_u32(image, 108);
  Bytes cut(blob.bytes.begin(), blob.bytes.begin() + static_cast<std::ptrdiff_t>(blob.offsets[0] + volumes + 10));
  blob.write(cut);
  const std::string at = std::to_string(blob.offsets[0]);
  const std::string read = std::to_string(volumes + 10);
  const std::string declared = std::to_string(image.size());
  const auto run = [&](const Args& layout) {
    Args args = {"-carve", blob.path, "-no_run_header", "-quiet"};
    args.insert(args.end(), layout.begin(), layout.end());
    const RunResult result = kit::run_kerf(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  };
  const std::string json = run({"-json"});
  EXPECT_NE(json.find(R"("carved":true,"offset":)" + at + R"(,"partial":true,"bytes_read":)" + read +
                      R"(,"bytes_declared":)" + declared +
                      R"(,"overwritten":false})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("hash_check":null,"embedded_path":null,"volumes":null,"files":[{"path":)"), std::string::npos);
  EXPECT_NE(run({}).find("\ncarved:         " + read + " bytes from byte " + at + "\nPARTIAL:        only " + read +
                         " of its " + declared + " bytes could be read; not read: the volumes\n"),
            std::string::npos);
  EXPECT_EQ(run({"-csv"}).substr(run({"-csv"}).find('\n') + 1, 32), "carved@" + at + " (partial),CUT.EXE,2,");
  EXPECT_NE(run({"-csvl2t"}).find("[PARTIAL: only " + read + " of " + declared + " bytes read; volumes not read]"),
            std::string::npos);
  EXPECT_NE(run({"-bodyfile"}).find("|carved@" + at + " (partial) (Win8 Prefetch)"), std::string::npos);
  EXPECT_NE(run({"-timesketch"}).find(R"("carved_offset":)" + at + R"(,"partial":true)"), std::string::npos);
}

// One content found twice is reported once; bytes that look like Prefetch
// data but don't decode are counted; nothing found is no failure.
TEST(CarveFiles, RepeatsAndNoiseAreCountedNotReported) {
  const Bytes image = made(23, L"TWICE.EXE");
  Bytes noise = random_bytes(3000, 5);
  const std::string fake("\x17\x00\x00\x00SCCA", 8);  // a version, a signature and nothing that fits
  std::copy(fake.begin(), fake.end(), noise.begin() + 100);
  const Blob blob({image, noise, kit::make_mam_container(image)});
  const RunResult run = kit::run_kerf({"-carve", blob.path, "-csv", "-no_run_header"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(kit::lines_of(run.out).size(), 2u) << run.out;  // the header and one file
  EXPECT_EQ(run.err, "kerf: 1 file: 1 reported, 0 failed, 1 stream carved (1 hit did not decode, 1 find repeated a "
                     "reported file)\n");
  const TempDir dir;
  const std::string noise_file = dir.write("noise", random_bytes(100000, 9));
  const RunResult empty = kit::run_kerf({"-carve", noise_file, "-csv", "-quiet"});
  EXPECT_EQ(empty.status, 0) << empty.err;
  // The page's run facts say what was carved, and what could not be read.
  const RunResult page = kit::run_kerf({"-carve", blob.path, dir.file("missing"), "-html", "-quiet"});
  EXPECT_EQ(page.status, 255);
  EXPECT_NE(page.out.find("<dt>Not read</dt><dd><span class=\"warn\">1 carved range</span></dd>\n"
                          "<dt>Carved</dt><dd>1 stream scanned, 1 hit did not decode, 1 find repeated a reported "
                          "file</dd>\n"),
            std::string::npos);
}

TEST(CarveFiles, WhatCantBeCarvedFailsTheRunWithTheReason) {
  const TempDir dir;
  const std::string file = dir.write("data", made(23, L"A.EXE"));
  struct Row {
    Args args;
    int status;
    std::string err;  // its first line
  };
  const std::string missing = dir.file("missing");
  const std::string folder = dir.path().string();
  for (const Row& row :
       {Row{{"-carve", missing, file}, 255, "kerf: can't carve " + missing + ": no such file or directory"},
        Row{{"-carve", folder}, 255, "kerf: can't carve " + folder + ": is a directory"},
        // Bytes the system refuses to read (this process's unmapped memory).
        Row{{"-carve", "/proc/self/mem"}, 255, "kerf: /proc/self/mem: bytes 0 to 262143 can't be read"},
        Row{{"-carve", "-pipe"}, 255, "-pipe can't be given with -carve, which scans the files named and the images' free space, aborting"},
        Row{{"-carve", "-enumdir", folder}, 255, "-enumdir can't be given with -carve, which scans the files named and the images' free space, aborting"},
        Row{{"-carve", file, "-out", file}, 255, "prob opening file " + file + " for output, aborting: it is a file this run carves"}}) {
    SCOPED_TRACE(row.args.back());
    const RunResult run = kit::run_kerf(row.args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.err);
  }
}

// A volume whose Prefetch files were deleted and their MFT entries reused,
// so that only their clusters are left: carved back from the free space,
// in a disk at 1 MiB, with and without the shadow copy made before.
TEST(CarveImages, DeletedFilesComeBackFromTheFreeClusters) {
  std::string missing = kit::missing_tools({"mkntfs", "sfdisk", "kerf_ntfs_writer"});
  if (missing.empty() && kit::vss_writer().empty()) missing = "kerf_vss_writer not built";
  if (!missing.empty()) GTEST_SKIP() << missing;
  constexpr std::uint64_t kCluster = 4096, kVolumeAt = 1u << 20;
  const TempDir dir;
  const std::string volume = dir.file("volume.img"), older = dir.file("older.img"), disk = dir.file("disk.raw");
  kit::format_ntfs(volume, 16u << 20);
  // Many loaded files: the last file spans 30 clusters, so that half of it
  // can be overwritten.
  std::vector<std::wstring> names;
  for (int i = 0; i < 1200; ++i) names.push_back(L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\F" + std::to_wstring(i) + L".DLL");
  const Bytes half = kit::PrefetchImageBuilder(26)
                         .exe_name(L"HALF.EXE")
                         .path_hash(0x33333333)
                         .run_times({132971962938281250ull})
                         .run_count(1)
                         .file_names(names)
                         .build();
  // Files too big to stay inside their MFT entries, even compressed.
  const auto sized = [](std::uint32_t version, const std::wstring& exe, std::uint32_t hash) {
    std::mt19937 random(version);
    std::vector<std::wstring> loaded;
    for (int i = 0; i < 100; ++i) loaded.push_back(L"\\DEVICE\\HARDDISKVOLUME2\\X\\" + std::to_wstring(random()) + L".DLL");
    loaded.push_back(L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\" + exe);
    return kit::PrefetchImageBuilder(version).exe_name(exe).path_hash(hash).run_times({132971962938281250ull}).run_count(1).file_names(loaded).build();
  };
  const Bytes keep = sized(30, L"KEEP.EXE", 0x44444444);
  const std::vector<std::pair<std::string, Bytes>> gone = {
      {"GONE.EXE-11111111.pf", sized(23, L"GONE.EXE", 0x11111111)},
      {"MAM.EXE-22222222.pf", kit::with_mam_checksum(kit::make_mam_container(sized(31, L"MAM.EXE", 0x22222222)))},
      {"HALF.EXE-33333333.pf", half}};
  const std::string folder = "\\Windows\\Prefetch\\";
  std::vector<std::string> commands = {"put\t" + folder + "KEEP.EXE-44444444.pf\t" + dir.write("keep", keep),
                                       "put\t\\Users\\DUP.pf\t" + dir.write("dup", keep)};
  for (const auto& [name, bytes] : gone) commands.push_back("put\t" + folder + name + "\t" + dir.write(name, bytes));
  for (const auto& [name, bytes] : gone) commands.push_back("clusters\t" + folder + name);
  const std::vector<std::string> lines = kit::run_ntfs_writer(volume, commands);
  std::vector<std::uint64_t> at;  // each deleted file's first byte in the volume
  for (std::size_t i = 0; i < gone.size(); ++i) at.push_back(kit::runs_of(lines.at(2 + gone.size() + i)).at(0).begin);
  std::filesystem::copy_file(volume, older);
  // Deleted, their entries taken by small files, half of HALF's clusters
  // given to another file.
  const std::uint64_t half_clusters = (half.size() / kCluster) / 2;
  commands = {"delete\t\\Users\\DUP.pf"};
  for (const auto& [name, bytes] : gone) commands.push_back("delete\t" + folder + name);
  for (int i = 0; i < 4; ++i) commands.push_back("put\t\\R" + std::to_string(i) + ".txt\t" + dir.write("r", Bytes(10, 'r')));
  commands.push_back("put_at\t\\OVER.BIN\t" + dir.write("over", random_bytes(half_clusters * kCluster, 3)) + "\t" +
                     std::to_string(at[2] + (half.size() / kCluster - half_clusters) * kCluster));
  kit::run_ntfs_writer(volume, commands);
  std::filesystem::copy_file(volume, dir.file("shadowed.img"));
  kit::add_shadow_copies(dir.file("shadowed.img"), {older}, {});
  kit::make_disk(disk, 20u << 20, false, {{kVolumeAt, 16u << 20, volume}});
  kit::make_disk(dir.file("vss.raw"), 20u << 20, false, {{kVolumeAt, 16u << 20, dir.file("shadowed.img")}});

  const RunResult run = kit::run_kerf({"-image", disk, "-carve", "-json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> records = kit::lines_of(run.out);
  ASSERT_EQ(records.size(), 4u) << run.out;
  EXPECT_NE(records[0].find(R"("executable":"KEEP.EXE")"), std::string::npos);
  for (std::size_t i = 0; i < gone.size(); ++i) {
    SCOPED_TRACE(gone[i].first);
    const std::string& record = records[1 + i];
    const std::string offset = std::to_string(kVolumeAt + at[i]);
    EXPECT_NE(record.find(R"({"source":{"path":")" + disk + "@" + std::to_string(kVolumeAt) + ":carved@" + offset + "\""),
              std::string::npos) << record;
    const bool partial = i == 2;
    EXPECT_NE(record.find(R"("carved":true,"offset":)" + offset + R"(,"partial":)" + (partial ? "true" : "false")),
              std::string::npos) << record;
    if (partial) continue;
    const RunResult loose = kit::run_kerf({"-json", dir.file(gone[i].first)});
    EXPECT_EQ(facts_of(record), facts_of(kit::lines_of(loose.out).at(0)));
  }
  // The deleted copy of KEEP is the same content as the file in the folder.
  EXPECT_NE(run.err.find("1 stream carved (0 hits did not decode, 1 find repeated a reported file)"), std::string::npos)
      << run.err;

  // The store made before the deletes holds the files in its folder, so
  // the whole finds in the free space repeat those; HALF, cut short, does
  // not. (The test's shadow-copy writer keeps the stores' blocks in free
  // clusters of the live volume, where old headers are found too, marked
  // partial: overwritten after their header.)
  const RunResult vss = kit::run_kerf({"-image", dir.file("vss.raw"), "-vss", "-carve", "-csv", "-no_run_header"});
  ASSERT_EQ(vss.status, 0) << vss.err;
  const std::vector<std::string> rows = kit::lines_of(vss.out);
  ASSERT_GE(rows.size(), 1u + 4u + 1u) << vss.out;  // the header, the folder's four files, the finds
  EXPECT_EQ(rows[4].substr(0, 20), "MAM.EXE-22222222.pf,");
  std::vector<std::string> finds;
  for (std::size_t i = 5; i < rows.size(); ++i) {
    EXPECT_NE(rows[i].find(" (partial),HALF.EXE,"), std::string::npos) << rows[i];
    finds.push_back(rows[i].substr(0, rows[i].find(' ')));
  }
  EXPECT_NE(std::find(finds.begin(), finds.end(), "carved@" + std::to_string(kVolumeAt + at[2])), finds.end());
  EXPECT_NE(vss.err.find("2 streams carved (0 hits did not decode, "), std::string::npos) << vss.err;
  // A carved find joins the history of the file named after its executable
  // and hash: HALF's store copy and the finds of its clusters.
  const RunResult history = kit::run_kerf({"-image", dir.file("vss.raw"), "-vss", "-carve", "-history", "-json"});
  std::string half_history;
  for (const std::string& record : kit::lines_of(history.out)) {
    if (record.starts_with(R"({"name":"HALF.EXE-33333333.pf")")) half_history = record;
  }
  EXPECT_NE(half_history.find(R"("path":")" + dir.file("vss.raw") + "@" + std::to_string(kVolumeAt) + "#vss1:\\\\Windows"),
            std::string::npos) << history.out;
  EXPECT_NE(half_history.find(":carved@" + std::to_string(kVolumeAt + at[2]) + "\""), std::string::npos) << half_history;
}

}  // namespace
