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
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"
#include "tests/support/run_kerf.h"

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

Bytes made(std::uint32_t version, const std::wstring& exe) {
  return kit::PrefetchImageBuilder(version)
      .exe_name(exe)
      .run_times({132971962938281250ull, 132971962000000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\" + exe})
      .add_volume({L"\\VOLUME{01d1217a9c4c6779-1234abcd}", 0x1234abcd, 0x01d1217a9c4c6779ull,
                   {L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS"}})
      .build();
}

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
                      R"(,"bytes_declared":)" + declared + "}"),
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
  const RunResult empty = kit::run_kerf({"-carve", dir.write("noise", random_bytes(100000, 9)), "-csv", "-quiet"});
  EXPECT_EQ(empty.status, 0) << empty.err;
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
        Row{{"-carve", "-pipe"}, 255, "-pipe can't be given with -carve, which scans the files named and the images' free space, aborting"},
        Row{{"-carve", "-enumdir", folder}, 255, "-enumdir can't be given with -carve, which scans the files named and the images' free space, aborting"},
        Row{{"-carve", file, "-out", file}, 255, "prob opening file " + file + " for output, aborting: it is a file this run carves"}}) {
    SCOPED_TRACE(row.args.back());
    const RunResult run = kit::run_kerf(row.args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.err);
  }
}

}  // namespace
