// Disk images (-image) read by the built program: every format gives the
// facts the same files give loose, deleted files and what became of loaded
// files, bad images named while the run goes on, and the image left as it
// was. The images are made here from nothing: mkntfs and the test kit's
// writer on libntfs-3g, sfdisk, ewfacquire and qemu-img.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "lib/time/iso8601.h"
#include "testkit/corpus.h"
#include "testkit/ntfs_image.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/vss_image.h"
#include "testkit/xpress_encoder.h"
#include "tests/support/run_kerf.h"
#include "tests/support/small_prefetch.h"

namespace {

namespace fs = std::filesystem;
using kerf::testing::Args;
using kerf::testing::RunResult;
using kerf::testing::TempDir;
namespace kit = kerf::testing;

constexpr std::uint64_t kVolumeOffset = 4u << 20;  // the NTFS partition, after a non-NTFS one
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ull;
const std::string kPrefetch = "\\Windows\\Prefetch\\";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> bytes_of(const std::string& path) {
  const std::string text = read_file(path);
  return {text.begin(), text.end()};
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The members only a file read from an image has, taken out of a JSON
// record so that it can be compared with the same file's record loose.
std::string without_image_members(const std::string& json) {
  static const std::regex image_members(
      R"(,"deleted":(true|false),"fn_modified":[^,]*,"fn_accessed":[^,]*,"fn_changed":[^,]*,"fn_born":[^,}]*)"
      R"(|,"image_volume":(null|[0-9]+)|,"mft_state":"[a-z ]+","current_path":(null|"[^"]*"))");
  return std::regex_replace(json, image_members, "");
}

std::uint64_t filetime(const timespec& time) {
  return kUnixEpochTicks + static_cast<std::uint64_t>(time.tv_sec) * 10000000u;
}

std::string missing_tools() {
  return kit::missing_tools({"mkntfs", "sfdisk", "kerf_ntfs_writer", "ewfacquire", "qemu-img"});
}

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Prefetch files as Windows 7 and Windows 10 write them (the second in its
// compressed container), and the corpus's real files when it is there.
std::map<std::string, std::vector<std::uint8_t>> prefetch_files() {
  std::map<std::string, std::vector<std::uint8_t>> files;
  const auto made = kit::small_prefetch;
  files["CMD.EXE-4A81B364.pf"] = made(23, L"CMD.EXE");
  files["NOTEPAD.EXE-D8414F97.pf"] = kit::make_mam_container(made(30, L"NOTEPAD.EXE"));
  if (const auto corpus = kit::corpus_dir()) {
    for (const auto& entry : fs::recursive_directory_iterator(*corpus)) {
      if (entry.path().extension() == ".pf") files[entry.path().filename().string()] = bytes_of(entry.path().string());
    }
  }
  return files;
}

// One MBR disk made once for the tests below: a partition that is not NTFS,
// then an NTFS partition at 4 MiB whose \Windows\Prefetch holds the files
// above, with the same times as their loose copies (whole seconds: the host
// file's times kerf shows), so that every layout must come out the same.
struct MadeDisk {
  TempDir dir;
  std::string disk;
  std::string volume;  // the NTFS volume alone, as copied into the disk
  std::string loose;            // the loose copies, in the folder's listing order
  std::vector<std::string> names;  // in that order
  // The corpus holds a file that is no Prefetch file: runs over it fail.
  int status = kit::corpus_dir() ? 255 : 0;

  MadeDisk() {
    loose = dir.file("loose");
    fs::create_directories(loose);
    std::vector<std::string> commands;
    for (const auto& [name, bytes] : prefetch_files()) {
      commands.push_back("put\t" + kPrefetch + name + "\t" + dir.write("loose/" + name, bytes));
      names.push_back(name);
    }
    // NTFS lists a folder in the order of its names' upper case.
    std::sort(names.begin(), names.end(), [](std::string a, std::string b) {
      for (char& c : a) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      for (char& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return a < b;
    });
    volume = dir.file("volume");
    kit::format_ntfs(volume, 24u << 20);
    kit::run_ntfs_writer(volume, commands);
    // The copies' times are taken once the writer has read them (a read may
    // move an access time on), and given to the files in the volume.
    commands.clear();
    for (const std::string& name : names) {
      struct stat status {};
      ::stat((loose + "/" + name).c_str(), &status);
      // A file is born when it is made, before its bytes are written: the
      // two can fall in different seconds.
      struct statx birth {};
      ::statx(AT_FDCWD, (loose + "/" + name).c_str(), 0, STATX_BTIME, &birth);
      const auto born = std::to_string((birth.stx_mask & STATX_BTIME) != 0
                                           ? filetime(timespec{static_cast<time_t>(birth.stx_btime.tv_sec), 0})
                                           : filetime(status.st_ctim));
      commands.push_back("times\t" + kPrefetch + name + "\t" + born + "\t" + std::to_string(filetime(status.st_mtim)) +
                         "\t" + std::to_string(filetime(status.st_ctim)) + "\t" +
                         std::to_string(filetime(status.st_atim)));
    }
    kit::run_ntfs_writer(volume, commands);
    disk = dir.file("disk.raw");
    kit::make_disk(disk, 32u << 20, false, {{1u << 20, 2u << 20, "", "c"}, {kVolumeOffset, 24u << 20, volume, "7"}});
  }

  Args loose_names() const {
    Args paths;
    for (const std::string& name : names) paths.push_back(loose + "/" + name);
    return paths;
  }
};

class Images : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (missing_tools().empty()) made = new MadeDisk();
  }
  static void TearDownTestSuite() {
    delete made;
    made = nullptr;
  }
  void SetUp() override {
    if (!made) GTEST_SKIP() << missing_tools();
  }

  // The image's output with the image's names turned into the loose ones.
  // (as typed, and as JSON writes it).
  static std::string as_loose(const std::string& output, const std::string& image) {
    const std::string shown = image + "@" + std::to_string(kVolumeOffset) + ":" + kPrefetch;
    return replace_all(replace_all(output, shown, made->loose + "/"), replace_all(shown, "\\", "\\\\"),
                       made->loose + "/");
  }

  static MadeDisk* made;
};
MadeDisk* Images::made = nullptr;

TEST_F(Images, EveryLayoutGivesTheFactsOfTheLooseFiles) {
  for (const Args& layout : {Args{}, Args{"-csv"}, Args{"-csvl2t"}, Args{"-bodyfile"}, Args{"-json"},
                             Args{"-timesketch"}, Args{"-csv", "-verify", "-pf_path"}}) {
    SCOPED_TRACE(layout.empty() ? "long form" : layout.front());
    const RunResult loose = kit::run_kerf(with(with(made->loose_names(), layout), {"-no_run_header", "-threads", "1"}));
    const RunResult image = kit::run_kerf(with({"-image", made->disk, "-no_run_header"}, layout));
    EXPECT_EQ(image.status, loose.status) << image.err;
    EXPECT_EQ(without_image_members(as_loose(image.out, made->disk)), loose.out);
    EXPECT_EQ(as_loose(image.err, made->disk), loose.err);
  }
}

// Each format holds the same disk, so each gives the same table; so does the
// NTFS volume alone, without a partition table, and the disk with a GPT.
TEST_F(Images, EveryFormatReadsTheSameFiles) {
  const RunResult raw = kit::run_kerf({"-image", made->disk, "-csv", "-no_run_header"});
  ASSERT_EQ(raw.status, made->status) << raw.err;
  const TempDir dir;
  struct Row {
    kit::ImageFormat format;
    std::size_t least_files;  // several segments for the images cut into pieces
  };
  for (const Row row : {Row{kit::ImageFormat::E01, 3}, Row{kit::ImageFormat::SplitRaw, 3}, Row{kit::ImageFormat::Qcow2, 1},
                        Row{kit::ImageFormat::Vmdk, 1}, Row{kit::ImageFormat::Vhd, 1}, Row{kit::ImageFormat::Vhdx, 1}}) {
    const std::vector<std::string> files =
        kit::convert_image(made->disk, row.format, dir.file("converted" + std::to_string(static_cast<int>(row.format))));
    SCOPED_TRACE(files.front());
    ASSERT_GE(files.size(), row.least_files);
    const RunResult converted = kit::run_kerf({"-image", files.front(), "-csv", "-no_run_header"});
    EXPECT_EQ(converted.status, raw.status) << converted.err;
    EXPECT_EQ(replace_all(converted.out, files.front() + "@", made->disk + "@"), raw.out);
  }
  const std::string gpt = dir.file("gpt.raw");
  kit::make_disk(gpt, 32u << 20, true, {{kVolumeOffset, 24u << 20, made->volume, kit::kGptBasicData}});
  for (const std::string& image : {made->volume, gpt}) {
    const RunResult other = kit::run_kerf({"-image", image, "-csv", "-no_run_header"});
    EXPECT_EQ(other.status, raw.status) << image;
    EXPECT_EQ(other.out, raw.out) << image;  // the table names files, not paths
  }
}

TEST_F(Images, FoldersFilterWindowAndThreads) {
  const std::string image = made->disk;
  const auto out = [&](const Args& more) { return kit::run_kerf(with({"-image", image, "-csv", "-no_run_header", "-quiet"}, more)); };
  const RunResult all = out({"-threads", "1"});
  // Case does not matter in NTFS names, nor the slash typed.
  EXPECT_EQ(out({"-enumdir", "/WINDOWS/prefetch", "-threads", "1"}).out, all.out);
  // The whole volume, walked from its root, holds the same Prefetch files.
  EXPECT_EQ(out({"-enumdir", "\\", "-num_subdirs", "5", "-filter", "*.pf", "-threads", "1"}).out, all.out);
  // The root alone holds none of them.
  EXPECT_EQ(out({"-enumdir", "\\", "-filter", "*.pf"}).status, 255);
  EXPECT_EQ(out({"-threads", "4"}).out, all.out);
  const RunResult cmd = out({"-filter", "cmd*"});
  EXPECT_NE(cmd.out.find("CMD.EXE-4A81B364.pf"), std::string::npos);
  EXPECT_EQ(cmd.out.find("NOTEPAD.EXE-D8414F97.pf"), std::string::npos);
  // The window reads the $STANDARD_INFORMATION modification time.
  EXPECT_EQ(out({"-cmd_start_time", "2100/01/01"}).out, "");
  EXPECT_EQ(out({"-cmd_stop_time", "2100/01/01", "-threads", "1"}).out, all.out);
  // A signature is looked for in the file's first bytes, read through the
  // volume: "SCCA" at 4 lets the plain files through, "MAM\x04" the
  // compressed ones.
  EXPECT_NE(out({"-filter", "none", "-filter_sig", "53434341|4"}).out.find("CMD.EXE-4A81B364.pf"), std::string::npos);
  const RunResult compressed = out({"-filter", "none", "-filter_sig", "4d414d04"});
  EXPECT_EQ(compressed.out.find("CMD.EXE-4A81B364.pf"), std::string::npos);
  EXPECT_NE(compressed.out.find(".pf,"), std::string::npos) << compressed.out;
}

// A deleted Prefetch file is reported while its data reads back whole; one
// whose clusters went to another file fails with the reason. What became of
// each loaded file is looked up by its MFT reference, once the Prefetch
// file's volume is known by its serial number.
TEST_F(Images, DeletedFilesAndWhatBecameOfLoadedFiles) {
  const TempDir dir;
  const std::string volume = dir.file("volume.raw");
  kit::format_ntfs(volume, 8u << 20);
  const std::uint32_t serial = static_cast<std::uint32_t>(kit::ntfs_volume_serial(volume));
  const std::string dll = dir.write("dll", std::vector<std::uint8_t>(3000, 0x4d));
  const std::string small = dir.write("small", std::vector<std::uint8_t>(100, 0x4e));  // kept inside its MFT entry
  const auto put = [&](const std::string& path, const std::string& host) { return "put\t" + path + "\t" + host; };
  const std::vector<std::string> dlls = kit::run_ntfs_writer(
      volume, {put("\\Windows\\KEPT.DLL", dll), put("\\Windows\\GONE.DLL", dll), put("\\Windows\\OLD.DLL", dll)});
  ASSERT_EQ(dlls.size(), 3u);
  const auto reference = [&](std::size_t i) { return kit::reference_of(dlls[i]).packed(); };
  const auto prefetch = [&](const std::wstring& exe) {
    std::vector<std::wstring> names = {L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\KEPT.DLL",
                                       L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\GONE.DLL",
                                       L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\OLD.DLL", L"\\DEVICE\\HARDDISKVOLUME3\\X.DLL",
                                       L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\NOREF.DLL"};
    std::vector<std::uint64_t> references = {reference(0), reference(1), reference(2), reference(0), 0};
    for (int i = 0; i < 60; ++i) names.push_back(L"\\DEVICE\\HARDDISKVOLUME2\\PADDING\\FILE" + std::to_wstring(i));
    return kit::PrefetchImageBuilder(23)
        .exe_name(exe)
        .run_times({132971962938281250ull})
        .run_count(1)
        .file_names(names)
        .file_references(references)
        .add_volume({L"\\DEVICE\\HARDDISKVOLUME2", serial, 0x01d1217a9c4c6779ull})
        .add_volume({L"\\DEVICE\\HARDDISKVOLUME3", serial + 1, 0x01d1217a9c4c6779ull})
        .build();
  };
  // A new file takes the lowest free MFT entry, and its clusters the largest
  // free run: NEW.DLL takes GONE.DLL's entry (reused), OLD.DLL's stays free
  // (deleted), and LOST's clusters, written last, go to the next big file.
  kit::run_ntfs_writer(volume, {put(kPrefetch + "KEPT.EXE-11111111.pf", dir.write("kept.pf", prefetch(L"KEPT.EXE"))),
                                put(kPrefetch + "GONE.EXE-22222222.pf", dir.write("gone.pf", prefetch(L"GONE.EXE"))),
                                put(kPrefetch + "LOST.EXE-33333333.pf", dir.write("lost.pf", prefetch(L"LOST.EXE"))),
                                "delete\t\\Windows\\GONE.DLL", "delete\t\\Windows\\OLD.DLL",
                                put("\\Windows\\NEW.DLL", small), "delete\t" + kPrefetch + "GONE.EXE-22222222.pf"});
  const RunResult json = kit::run_kerf({"-image", volume, "-json", "-quiet"});
  EXPECT_EQ(json.status, 0) << json.err;
  std::map<std::string, std::string> records;
  for (const std::string& record : kit::lines_of(json.out)) {
    for (const std::string exe : {"KEPT", "GONE", "LOST"}) {
      if (record.find("\"executable\":\"" + exe + ".EXE\"") != std::string::npos) records[exe] = record;
    }
  }
  ASSERT_EQ(records.size(), 3u) << json.out;
  const std::string shown = volume + "@0:" + kPrefetch;
  EXPECT_NE(records["GONE"].find(R"("path":")" + replace_all(shown, "\\", "\\\\") + R"(GONE.EXE-22222222.pf")"),
            std::string::npos);
  EXPECT_NE(records["GONE"].find(R"("deleted":true)"), std::string::npos);
  EXPECT_NE(records["KEPT"].find(R"("deleted":false)"), std::string::npos);
  for (const auto& [exe, record] : records) {
    SCOPED_TRACE(exe);
    EXPECT_NE(record.find(R"("device_path":"\\DEVICE\\HARDDISKVOLUME2","serial":)"), std::string::npos);
    EXPECT_NE(record.find(R"("image_volume":0)"), std::string::npos);
    EXPECT_NE(record.find(R"("image_volume":null)"), std::string::npos);
    const std::string files = record.substr(record.find(R"("files":)"));
    const std::vector<std::string> states = {R"("in use","current_path":"\\Windows\\KEPT.DLL")",
                                             R"("reused","current_path":null)", R"("deleted","current_path":null)",
                                             R"("unknown","current_path":null)", R"("unknown","current_path":null)"};
    std::size_t at = 0;
    for (const std::string& state : states) {
      at = files.find(R"("mft_state":)" + state, at);
      EXPECT_NE(at, std::string::npos) << state;
      at = at == std::string::npos ? 0 : at + 1;
    }
  }
  // LOST's entry is free too, but OTHER now holds its clusters.
  const std::string other = dir.write("other.bin", std::vector<std::uint8_t>(200000, 0x22));
  kit::run_ntfs_writer(volume, {"delete\t" + kPrefetch + "LOST.EXE-33333333.pf", put("\\OTHER.BIN", other)});
  const RunResult after = kit::run_kerf({"-image", volume, "-csv", "-no_run_header"});
  EXPECT_EQ(after.status, 255);
  EXPECT_NE(after.err.find(shown + "LOST.EXE-33333333.pf: deleted, and its clusters now belong to another file"),
            std::string::npos)
      << after.err;
}

// A bad image is named with its reason; the run reads the others and ends
// with 255. No output may be a file of an image, and the image's files keep
// their bytes and every time.
TEST_F(Images, BadImagesAndTheEvidenceLeftAsItWas) {
  const TempDir dir;
  const std::string random = dir.write("random.img", std::vector<std::uint8_t>(1u << 20, 0x5a));
  const std::vector<std::string> e01 = kit::convert_image(made->disk, kit::ImageFormat::E01, dir.file("cut"));
  ASSERT_GE(e01.size(), 3u);
  fs::rename(e01[1], e01[1] + ".away");
  std::string broken_volume = read_file(made->disk);
  broken_volume.replace(kVolumeOffset + 0x30, 8, 8, '\xff');  // the MFT's cluster number
  const std::string broken = dir.write_text("broken.raw", broken_volume);
  struct Row {
    std::string image;
    std::string message;
  };
  for (const Row& row : {Row{dir.file("none.E01"), "prob reading image " + dir.file("none.E01") + ": "},
                         Row{random, "prob reading image " + random + ": no NTFS volume in it"},
                         Row{e01.front(), "prob reading image " + e01.front() + ": "},
                         Row{broken, "prob reading image " + broken + "@" + std::to_string(kVolumeOffset) + ": "}}) {
    SCOPED_TRACE(row.image);
    const RunResult run = kit::run_kerf({"-image", row.image, "-image", made->disk, "-csv", "-no_run_header"});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 image or volume unreadable"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("CMD.EXE-4A81B364.pf"), std::string::npos);  // the good image is still read
  }

  const std::vector<std::string> split = kit::convert_image(made->disk, kit::ImageFormat::SplitRaw, dir.file("split"));
  const std::string content = read_file(split[1]);
  struct stat before {};
  const timespec old_access[2] = {{1000000000, 0}, {UTIME_OMIT, 0}};  // older than its modification: relatime would renew it
  ASSERT_EQ(::utimensat(AT_FDCWD, split[1].c_str(), old_access, 0), 0);
  ASSERT_EQ(::stat(split[1].c_str(), &before), 0);
  const RunResult refused = kit::run_kerf({"-image", split.front(), "-out", split[1]});
  EXPECT_EQ(refused.status, 255);
  EXPECT_NE(refused.err.find("it is a file of a disk image this run reads"), std::string::npos) << refused.err;
  EXPECT_EQ(kit::run_kerf({"-image", split.front(), "-json", "-quiet"}).status, made->status);
  struct stat after {};
  ASSERT_EQ(::stat(split[1].c_str(), &after), 0);
  EXPECT_EQ(read_file(split[1]), content);
  EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
}

}  // namespace

namespace {

// Shadow copies (-vss): each store of the volume is read as the older state
// it keeps, its files named "#vss<N>" after the volume's offset and said to
// come from the store.
TEST_F(Images, ShadowCopiesAreReadAsTheOlderStatesOfTheVolume) {
  const TempDir dir;
  const kit::PrefetchHistory history = kit::make_prefetch_history(dir.path().string());
  const std::string live = history.live_volume;
  // Each state of each file, as "<copy>:<name> <run count>" from the JSON
  // records, against what the states hold.
  const auto states_read = [&](const Args& more) {
    const RunResult run = kit::run_kerf(with({"-image", live, "-json", "-quiet"}, more));
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> found;
    static const std::regex fields(
        R"re("path":"[^"]*@0(#vss[0-9])?:\\\\Windows\\\\Prefetch\\\\([^"]+)".*"deleted":(true|false).*"store":(null|[0-9]),"store_created":(null|"[^"]+")\}.*"run_count":([0-9]+))re");
    for (const std::string& record : kit::lines_of(run.out)) {
      std::smatch match;
      EXPECT_TRUE(std::regex_search(record, match, fields)) << record;
      if (match.empty()) continue;
      EXPECT_EQ(match[1].str().empty(), match[4] == "null");
      // Appended piece by piece: g++ 12 warns, wrongly, of overlapping
      // copies in the one long concatenation.
      std::string copy = match[1].str().empty() ? std::string("live") : match[1].str().substr(1);
      copy.append(":").append(match[2].str()).append(" ").append(match[6].str());
      if (match[5] != "null") copy.append(" ").append(match[5].str());
      if (match[3] == "true") copy.append(" deleted");
      found.push_back(std::move(copy));
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  // What each state holds; a copy with the same bytes as one listed before
  // it (the live volume first, then the stores, oldest first) is folded
  // into that one. CALC was deleted from the live volume last: its MFT
  // entry still holds the bytes of store 2's copy.
  const auto expected = [&](const std::vector<unsigned>& stores) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> listed;  // name, bytes
    std::vector<std::string> held;
    const auto add = [&](const kit::PrefetchCopy& file, const std::string& copy, const std::string& suffix) {
      for (const auto& [name, bytes] : listed) {
        if (name == file.name && bytes == file.bytes) return;
      }
      listed.emplace_back(file.name, file.bytes);
      held.push_back(copy + ":" + file.name + " " + std::to_string(file.run_count) + suffix);
    };
    for (const kit::PrefetchCopy& file : history.states.back().files) add(file, "live", "");
    add(*history.states[1].find("CALC.EXE-AC08706A.pf"), "live", " deleted");
    for (unsigned store = 1; store < history.states.size(); ++store) {
      if (std::find(stores.begin(), stores.end(), store) == stores.end()) continue;
      std::string created;
      kerf::time::append_iso8601(created, kerf::time::Instant::from_filetime(history.states[store - 1].creation_time));
      for (const kit::PrefetchCopy& file : history.states[store - 1].files) {
        add(file, "vss" + std::to_string(store), " \"" + created + "\"");
      }
    }
    std::sort(held.begin(), held.end());
    return held;
  };
  EXPECT_EQ(states_read({"-vss"}), expected({1, 2}));
  EXPECT_EQ(states_read({"-vss_stores", "2"}), expected({2}));
  EXPECT_EQ(states_read({"-vss_stores", "1,3-9"}), expected({1}));

  // The record of the live volume's deleted CALC lists store 2's copy,
  // which holds the same bytes; the long form says so too.
  const RunResult calc = kit::run_kerf({"-image", live, "-vss", "-json", "-filter", "calc*", "-quiet"});
  EXPECT_NE(calc.out.find(R"("copies":[{"store":null,"store_created":null,"path":")" + replace_all(live, "\\", "\\\\") +
                          R"(@0:\\Windows\\Prefetch\\CALC.EXE-AC08706A.pf"},{"store":2,"store_created":"2021-02-28T06:00:00.0000000Z")"),
            std::string::npos)
      << calc.out;
  EXPECT_NE(kit::run_kerf({"-image", live, "-vss", "-filter", "calc*", "-quiet"}).out.find("\nsame bytes in:  the volume, store 2\n"),
            std::string::npos);
  EXPECT_NE(kit::run_kerf({"-image", live, "-vss", "-filter", "calc*", "-csvl2t", "-quiet"})
                .out.find(" [Deleted file: its MFT entry is free] [Same bytes in 2 copies: the volume and its shadow copies]"),
            std::string::npos);
  // The history across the three copies: CMD's count was reset, NOTEPAD's
  // copies know more than eight runs (one only in the oldest), CALC is
  // deleted from the live volume.
  const RunResult merged = kit::run_kerf({"-image", live, "-vss", "-history", "-json", "-quiet"});
  const std::vector<std::string> records = kit::lines_of(merged.out);
  ASSERT_EQ(records.size(), 3u) << merged.out << merged.err;
  std::string oldest_only;
  kerf::time::append_iso8601(oldest_only, kerf::time::Instant::from_filetime(history.oldest_only_time));
  const std::vector<std::pair<std::string, std::string>> flags = {
      {"CALC.EXE", R"("count_went_down":false,"runs_beyond_eight":false,"last_copy_deleted":true)"},
      {"CMD.EXE", R"("count_went_down":true,"runs_beyond_eight":false,"last_copy_deleted":false)"},
      {"NOTEPAD.EXE", R"("count_went_down":false,"runs_beyond_eight":true,"last_copy_deleted":false)"}};
  for (std::size_t i = 0; i < flags.size(); ++i) {
    EXPECT_NE(records[i].find("\"executable\":\"" + flags[i].first + "\""), std::string::npos) << records[i];
    EXPECT_NE(records[i].find(flags[i].second), std::string::npos) << records[i];
    EXPECT_NE(records[i].find(R"("store":1,"store_created":"2021-02-27T12:00:00.0000000Z")"), std::string::npos);
  }
  EXPECT_NE(records[2].find(R"({"time":")" + oldest_only + R"(","copies":[1]})"), std::string::npos) << records[2];
  // Store 2's CALC has the bytes of the live volume's deleted one: reported
  // once, it is still a copy of the history.
  EXPECT_NE(records[0].find(R"("store":2,"store_created":"2021-02-28T06:00:00.0000000Z")"), std::string::npos)
      << records[0];
  // Both JSON layouts of files from stores, and of their history, keep to
  // their schemas.
  for (const Args& layout : {Args{"-json"}, Args{"-timesketch"}, Args{"-history", "-json"}, Args{"-history", "-timesketch"}}) {
    kit::RunOptions lines;
    lines.input = kit::run_kerf(with({"-image", live, "-vss", "-quiet"}, layout)).out;
    const std::string name = layout.size() == 1 ? layout[0] : layout[0] + " " + layout[1];
    const RunResult checked = kit::run_program(
        "/usr/bin/python3", {KERF_SOURCE_DIR "/tests/json_lines/check_json_lines.py", "lines", KERF_SOURCE_DIR "/docs", name},
        lines);
    if (checked.status == 77) continue;  // no schema validator here
    EXPECT_EQ(checked.status, 0) << name << "\n" << checked.out << checked.err;
  }

  const RunResult long_form = kit::run_kerf({"-image", live, "-vss_stores", "1", "-filter", "calc*", "-quiet"});
  EXPECT_NE(long_form.out.find("\nshadow copy:    store 1, made 2021-02-27 12:00:00\n"), std::string::npos)
      << long_form.out;
  for (const Args& refused : {Args{"-vss_stores", "0"}, Args{"-vss_stores", "2-1"}, Args{"-vss_stores", "1,,2"},
                              Args{"-vss_stores", "x"}}) {
    EXPECT_EQ(kit::run_kerf(with({"-image", live}, refused)).status, 255) << refused[1];
  }
  // A catalog that can't be read is named; the live volume is still read.
  std::string damaged = read_file(live);
  std::size_t catalog = 0;  // the volume header's catalog offset (0x1e00 + 0x30, little-endian)
  for (int i = 3; i >= 0; --i) catalog = catalog << 8 | static_cast<unsigned char>(damaged[0x1e30 + i]);
  ASSERT_LT(catalog + 128, damaged.size());
  damaged.replace(catalog, 128, 128, '\x5a');
  const std::string damaged_live = dir.write_text("damaged.raw", damaged);
  const RunResult unreadable = kit::run_kerf({"-image", damaged_live, "-vss", "-csv", "-no_run_header"});
  EXPECT_EQ(unreadable.status, 255);
  EXPECT_NE(unreadable.err.find("prob reading image " + damaged_live + "@0: shadow copy catalog: "), std::string::npos)
      << unreadable.err;
  EXPECT_NE(unreadable.out.find("NOTEPAD.EXE-D8414F97.pf"), std::string::npos);

  const RunResult without_image = kit::run_kerf({"-vss", history.states.front().volume});
  EXPECT_EQ(without_image.status, 255);
  EXPECT_NE(without_image.err.find("-vss reads the shadow copies of the volumes of -image"), std::string::npos);
}

}  // namespace
