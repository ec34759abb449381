// NTFS volumes read through The Sleuth Kit: the volumes a disk's partition
// table holds, folders matched without regard to case, deleted files kept
// only while their MFT entry still describes them, the bytes and times of
// a file, what became of an MFT reference, the free clusters of a volume
// and of its shadow copies, and damaged volumes. What kerf
// reads is checked against what The Sleuth Kit's own tools (fls, istat,
// icat) print for the same image.
#include <gtest/gtest.h>
#include <tsk/libtsk.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lib/io/byte_reader.h"
#include "lib/time/instant.h"
#include "sources/image/ntfs_volume.h"
#include "sources/image/opened_image.h"
#include "testkit/ntfs_image.h"
#include "testkit/temp_dir.h"
#include "testkit/vss_image.h"
#include "tests/support/run_kerf.h"

namespace {

using kerf::MftState;
using kerf::NtfsVolume;
using kerf::SourceError;
using kerf::VolumeEntry;
using kerf::testing::FileReference;
using kerf::testing::NtfsFile;
using kerf::testing::TempDir;
using kerf::testing::output_of;

constexpr std::uint64_t kMiB = 1024 * 1024;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 8));
  return bytes;
}

struct ImageCloser {
  void operator()(TSK_IMG_INFO* image) const { tsk_img_close(image); }
};
using ImagePtr = std::unique_ptr<TSK_IMG_INFO, ImageCloser>;

// Raw, named: The Sleuth Kit's format detection leaks what the other
// formats' libraries allocated while trying the file.
ImagePtr open_image(const std::string& path) {
  return ImagePtr(tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_RAW, 0));
}

// A time as istat prints it with -z UTC.
std::string istat_time(std::uint64_t filetime) {
  const kerf::time::CalendarTime c = kerf::time::Instant::from_filetime(filetime).calendar();
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%07u00 (UTC)", unsigned{c.year}, unsigned{c.month},
                unsigned{c.day}, unsigned{c.hour}, unsigned{c.minute}, unsigned{c.second}, unsigned{c.ticks});
  return text;
}

// Overwrites `bytes` at `offset` of every MFT record of `entry` in an
// image (the $MFTMirr copy too), found by their "FILE" signature and the
// entry number they keep at 0x2C. The update sequence at the end of each
// sector, which The Sleuth Kit checks first, is left whole unless the
// bytes start on it.
void corrupt_record(const std::string& image, std::uint64_t entry, std::size_t offset,
                    const std::vector<std::uint8_t>& bytes) {
  std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> record(1024);
  for (std::uint64_t at = 0; file.seekg(static_cast<std::streamoff>(at)) && file.read(record.data(), 1024);
       at += 1024) {
    const kerf::io::ByteReader fields({reinterpret_cast<const std::uint8_t*>(record.data()), record.size()});
    if (!fields.matches(0, "FILE") || fields.u32_or(0x2C, 0) != entry) continue;
    for (std::size_t i = 0; i < bytes.size() && offset + i < record.size(); ++i) {
      if ((offset + i) % 512 < 510 || offset % 512 >= 510) record[offset + i] = static_cast<char>(bytes[i]);
    }
    file.seekp(static_cast<std::streamoff>(at));
    file.write(record.data(), 1024);
  }
}

struct Listing {
  bool ok = false;
  std::vector<VolumeEntry> entries;
  std::vector<std::string> problems;
};

Listing list(NtfsVolume& volume, const std::string& folder, unsigned depth) {
  Listing listing;
  listing.ok = volume.list(
      folder, depth, [&](VolumeEntry&& entry) { listing.entries.push_back(std::move(entry)); }, listing.problems);
  return listing;
}

// One volume for most tests: a Prefetch folder with subfolders, files of
// both kinds of data (in clusters, and resident in the MFT entry), deleted
// files (one whole, one whose clusters another file took) and a deleted
// file whose MFT entry another file took.
class NtfsVolumeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_skip = kerf::testing::missing_tools({"mkntfs", "kerf_ntfs_writer", "fls", "istat", "icat", "sfdisk"});
    if (!s_skip.empty()) return;
    s_dir = new TempDir;
    s_image = s_dir->file("volume.img");
    const std::vector<NtfsFile> files = {
        {"\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf", pattern(9000, 1)},
        {"\\Windows\\Prefetch\\notepad.exe-1A2B3C4D.pf", pattern(300, 2)},
        {"\\Windows\\Prefetch\\Reused.pf", pattern(5000, 3)},
        {"\\Windows\\Prefetch\\Sub\\Deep.pf", pattern(4000, 4)},
        {"\\Windows\\Readme.txt", pattern(100, 6)},
        {"\\Users\\\xC3\x84rger\\\xC3\x96l.pf", pattern(700, 7)},  // "\\Users\\Ärger\\Öl.pf"
        {"\\Windows\\Prefetch\\Gone.pf", pattern(20000, 8), true},
        // Keeps Gone.pf's clusters apart from Taken.pf's.
        {"\\Windows\\Prefetch\\Sub\\Deeper\\Deepest.pf", pattern(4000, 5)},
        {"\\Windows\\Prefetch\\Taken.pf", pattern(20000, 9)},
    };
    const std::vector<FileReference> refs = kerf::testing::make_ntfs_volume(s_image, 16 * kMiB, files);
    s_cmd = refs[0], s_reused = refs[2], s_gone = refs[6], s_taken = refs[8];
    // Taken.pf was written last: the next file gets its clusters, and the
    // lowest free MFT entry, Reused.pf's.
    const std::string fresh = s_dir->write("fresh.bin", pattern(24000, 10));
    const std::vector<std::string> lines = kerf::testing::run_ntfs_writer(
        s_image, {"delete\t\\Windows\\Prefetch\\Reused.pf", "delete\t\\Windows\\Prefetch\\Taken.pf",
                  "put\t\\Users\\New.bin\t" + fresh,
                  "times\t\\Windows\\Readme.txt\t94354848001234567\t130970237009851234\t"
                  "131000000000000001\t132000000000000009"});
    s_new = kerf::testing::reference_of(lines.at(0));
  }
  static void TearDownTestSuite() { delete s_dir; }

  void SetUp() override {
    if (!s_skip.empty()) GTEST_SKIP() << s_skip;
    m_image = open_image(s_image);
    ASSERT_TRUE(m_image);
    std::string reason;
    m_volume = NtfsVolume::open(m_image.get(), 0, reason);
    ASSERT_TRUE(m_volume) << reason;
  }

  static inline std::string s_skip;
  static inline TempDir* s_dir = nullptr;
  static inline std::string s_image;
  static inline FileReference s_cmd, s_reused, s_gone, s_taken, s_new;
  ImagePtr m_image;
  std::unique_ptr<NtfsVolume> m_volume;
};

TEST_F(NtfsVolumeTest, ListsFoldersAsTheVolumeNamesThem) {
  struct Case {
    std::string folder;
    unsigned depth;
    bool ok;
    std::vector<std::string> paths;  // "*" before a deleted one
    std::vector<std::string> problems;
  };
  // As the volume lists them: the names in use, then the deleted ones.
  const std::vector<std::string> prefetch = {"\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf",
                                             "\\Windows\\Prefetch\\notepad.exe-1A2B3C4D.pf",
                                             "*\\Windows\\Prefetch\\Gone.pf", "*\\Windows\\Prefetch\\Taken.pf"};
  auto deeper = prefetch;
  deeper.push_back("\\Windows\\Prefetch\\Sub\\Deep.pf");
  auto deepest = deeper;
  deepest.push_back("\\Windows\\Prefetch\\Sub\\Deeper\\Deepest.pf");
  auto windows = deepest;
  windows.insert(windows.begin(), "\\Windows\\Readme.txt");
  const Case cases[] = {
      {"\\Windows\\Prefetch", 0, true, prefetch, {}},
      {"\\windows\\PREFETCH\\", 0, true, prefetch, {}},
      {"windows/prefetch", 1, true, deeper, {}},
      {"\\Windows\\Prefetch", 2, true, deepest, {}},
      {"\\Windows", 9, true, windows, {}},
      // Case folded by the volume's own table, beyond A-Z.
      {"\\USERS\\\xC3\xA4RGER", 0, true, {"\\Users\\\xC3\x84rger\\\xC3\x96l.pf"}, {}},
      {"\\Windows\\Nope", 3, false, {}, {"\\Windows\\Nope: no such folder"}},
      {"\\Windows\\Readme.txt", 0, false, {}, {"\\Windows\\Readme.txt: no such folder"}},
  };
  for (const Case& c : cases) {
    const Listing listing = list(*m_volume, c.folder, c.depth);
    EXPECT_EQ(listing.ok, c.ok) << c.folder;
    std::vector<std::string> paths;
    for (const VolumeEntry& entry : listing.entries) paths.push_back((entry.deleted ? "*" : "") + entry.path);
    EXPECT_EQ(paths, c.paths) << c.folder << " " << c.depth;
    EXPECT_EQ(listing.problems, c.problems) << c.folder;
  }
  // The same entries, names and states as fls lists.
  const std::string fls = output_of("fls -r -p " + s_image);
  for (const VolumeEntry& entry : list(*m_volume, "\\", 9).entries) {
    if (entry.path.starts_with("\\$")) continue;  // fls lists their streams
    std::string path = entry.path.substr(1);
    for (char& c : path) c = c == '\\' ? '/' : c;
    const std::string line = (entry.deleted ? "* " : "") + std::to_string(entry.mft_entry) + "-128-";
    const std::size_t at = fls.find(":\t" + path + "\n");
    ASSERT_NE(at, std::string::npos) << path;
    EXPECT_NE(fls.rfind(line, at), std::string::npos) << path;
    EXPECT_LT(at - fls.rfind(line, at), line.size() + 6) << path;
  }
}

TEST_F(NtfsVolumeTest, ReadsBytesAndTimesAsTheSleuthKitToolsDo) {
  struct Case {
    const char* name;
    FileReference ref;
    bool deleted;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"CMD.EXE-4A81B364.pf", s_cmd, false, pattern(9000, 1), nullptr},
      {"notepad.exe-1A2B3C4D.pf", {}, false, pattern(300, 2), nullptr},
      {"Gone.pf", s_gone, true, pattern(20000, 8), nullptr},
      {"Taken.pf", s_taken, true, {}, "deleted, and its clusters now belong to another file"},
  };
  const Listing listing = list(*m_volume, "\\Windows\\Prefetch", 0);
  for (const Case& c : cases) {
    const auto entry = std::find_if(listing.entries.begin(), listing.entries.end(),
                                    [&](const VolumeEntry& e) { return e.path.ends_with(c.name); });
    ASSERT_NE(entry, listing.entries.end()) << c.name;
    if (c.ref.mft_entry != 0) {
      EXPECT_EQ(entry->mft_entry, c.ref.mft_entry) << c.name;
    }
    EXPECT_EQ(entry->deleted, c.deleted) << c.name;
    const auto source = m_volume->open_file(*entry, std::string("shown ") + c.name);
    EXPECT_EQ(source->name(), std::string("shown ") + c.name);
    ASSERT_TRUE(source->open(false).ok()) << c.name;
    const kerf::SourceFile& facts = source->facts();
    EXPECT_EQ(facts.deleted, c.deleted);
    std::vector<std::uint8_t> bytes;
    const kerf::SourceStatus read = source->read(bytes, 16 * kMiB);
    if (c.reason != nullptr) {
      EXPECT_EQ(read.error, SourceError::unreadable) << c.name;
      EXPECT_STREQ(read.reason, c.reason);
      continue;
    }
    ASSERT_TRUE(read.ok()) << c.name << " " << (read.reason ? read.reason : "");
    EXPECT_EQ(bytes, c.bytes) << c.name;
    EXPECT_EQ(facts.size, c.bytes.size()) << c.name;
    const std::string icat = output_of("icat " + s_image + " " + std::to_string(entry->mft_entry));
    EXPECT_EQ(icat, std::string(bytes.begin(), bytes.end())) << c.name;
    std::vector<std::uint8_t> head;
    ASSERT_TRUE(source->read(head, 10).ok());
    EXPECT_EQ(head, std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.begin() + 10));
    // istat prints $STANDARD_INFORMATION, then $FILE_NAME: created,
    // modified, MFT entry changed, accessed.
    ASSERT_TRUE(facts.file_name_times);
    const kerf::FileNameTimes& fn = *facts.file_name_times;
    std::string times;
    for (const std::uint64_t t :
         {facts.born, facts.modified, facts.changed, facts.accessed, fn.born, fn.modified, fn.changed, fn.accessed}) {
      times += istat_time(t) + "\n";
    }
    std::string shown;
    const std::string istat = output_of("istat -z UTC " + s_image + " " + std::to_string(entry->mft_entry));
    for (std::size_t at = 0; (at = istat.find(":\t", at)) != std::string::npos; at += 2) {
      const std::size_t label = istat.rfind('\n', at) + 1;
      const std::string_view name(istat.data() + label, at - label);
      if (name == "Created" || name == "File Modified" || name == "MFT Modified" || name == "Accessed") {
        shown += istat.substr(at + 2, istat.find('\n', at) - at - 1);
      }
    }
    EXPECT_EQ(shown, times) << c.name;
  }
  // Sources made on one thread and read on others, all at once.
  std::vector<std::unique_ptr<kerf::InputSource>> sources;
  for (const VolumeEntry& entry : listing.entries) sources.push_back(m_volume->open_file(entry, entry.path));
  std::vector<std::thread> threads;
  for (const auto& source : sources) {
    threads.emplace_back([&source] {
      std::vector<std::uint8_t> bytes;
      const bool read = source->open(false).ok() && source->read(bytes, kMiB).ok();
      EXPECT_TRUE(!read || bytes.size() == source->facts().size) << source->name();
    });
  }
  for (std::thread& thread : threads) thread.join();
  // To the 100 ns, before 1970 too, and born always there.
  const Listing windows = list(*m_volume, "\\Windows", 0);
  ASSERT_EQ(windows.entries.size(), 1u);
  const auto source = m_volume->open_file(windows.entries[0], "readme");
  ASSERT_TRUE(source->open(false).ok());
  EXPECT_EQ(source->facts().born, 94354848001234567u);
  EXPECT_EQ(source->facts().modified, 130970237009851234u);
  EXPECT_EQ(source->facts().changed, 131000000000000001u);
  EXPECT_EQ(source->facts().accessed, 132000000000000009u);
  // An entry that holds another file now, or a folder.
  VolumeEntry cmd{"\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf", s_cmd.mft_entry,
                  static_cast<std::uint16_t>(s_cmd.sequence + 1), false};
  EXPECT_EQ(m_volume->open_file(cmd, "cmd")->open(false).error, SourceError::unreadable);
  EXPECT_EQ(m_volume->open_file({"\\Windows", 5, 5, false}, "root")->open(false).error, SourceError::is_directory);
}

TEST_F(NtfsVolumeTest, TellsWhatBecameOfAnMftReference) {
  struct Case {
    std::uint64_t entry;
    std::uint16_t sequence;
    MftState state;
    std::string path;
  };
  const Case cases[] = {
      {s_cmd.mft_entry, s_cmd.sequence, MftState::in_use, "\\Windows\\Prefetch\\CMD.EXE-4A81B364.pf"},
      {s_new.mft_entry, s_new.sequence, MftState::in_use, "\\Users\\New.bin"},
      {s_gone.mft_entry, s_gone.sequence, MftState::deleted, ""},
      {s_gone.mft_entry, static_cast<std::uint16_t>(s_gone.sequence + 1), MftState::deleted, ""},
      // Freed, taken and freed again: the sequence moved on by two.
      {s_gone.mft_entry, static_cast<std::uint16_t>(s_gone.sequence - 1), MftState::reused, ""},
      {s_reused.mft_entry, s_reused.sequence, MftState::reused, ""},
      {s_cmd.mft_entry, static_cast<std::uint16_t>(s_cmd.sequence + 1), MftState::reused, ""},
      {1ull << 40, 1, MftState::unknown, ""},
  };
  ASSERT_EQ(s_new.mft_entry, s_reused.mft_entry);
  for (const Case& c : cases) {
    const kerf::MftLookup found = m_volume->look_up(c.entry, c.sequence);
    EXPECT_EQ(found.state, c.state) << c.entry << "-" << c.sequence;
    EXPECT_EQ(found.current_path, c.path) << c.entry << "-" << c.sequence;
  }
}

// Every volume a disk holds, and only those: the partitions of an MBR
// (logical ones in an extended partition too) or of a GPT, or the image
// itself when it has no table.
TEST_F(NtfsVolumeTest, FindsTheVolumesOfADisk) {
  const TempDir dir;
  const std::string other = dir.file("other.img");
  kerf::testing::make_ntfs_volume(other, 8 * kMiB, {{"\\A.pf", pattern(100, 1)}});
  kerf::testing::set_ntfs_volume_serial(other, 0x1122334455667788);
  struct Case {
    const char* name;
    bool gpt;
    std::vector<kerf::testing::Partition> parts;
    std::vector<std::uint64_t> offsets;
    std::vector<std::string> opened;  // the serial in hex, or the reason
  };
  const Case cases[] = {
      {"mbr",
       false,
       {{kMiB, 16 * kMiB, s_image},
        {20 * kMiB, 20 * kMiB, "", "5"},
        {21 * kMiB, 8 * kMiB, other},
        {30 * kMiB, 4 * kMiB, "", "83"}},
       {kMiB, 21 * kMiB, 30 * kMiB},
       {"volume", "1122334455667788", "not an NTFS volume"}},
      {"gpt",
       true,
       {{kMiB, 8 * kMiB, other, kerf::testing::kGptBasicData},
        {10 * kMiB, 16 * kMiB, s_image, kerf::testing::kGptBasicData}},
       {kMiB, 10 * kMiB},
       {"1122334455667788", "volume"}},
  };
  char volume_serial[17];
  std::snprintf(volume_serial, sizeof volume_serial, "%016llx",
                static_cast<unsigned long long>(kerf::testing::ntfs_volume_serial(s_image)));
  for (const Case& c : cases) {
    const std::string disk = dir.file(c.name);
    kerf::testing::make_disk(disk, 48 * kMiB, c.gpt, c.parts);
    const ImagePtr image = open_image(disk);
    ASSERT_TRUE(image) << c.name;
    std::vector<std::string> problems;
    const std::vector<std::uint64_t> offsets = kerf::volume_offsets(image.get(), problems);
    EXPECT_EQ(offsets, c.offsets) << c.name;
    EXPECT_TRUE(problems.empty()) << c.name;
    std::vector<std::string> opened;
    for (const std::uint64_t offset : offsets) {
      std::string reason;
      const auto volume = NtfsVolume::open(image.get(), offset, reason);
      char serial[17] = "";
      if (volume) std::snprintf(serial, sizeof serial, "%016llx", static_cast<unsigned long long>(volume->serial()));
      opened.push_back(!volume ? reason : std::string(serial) == volume_serial ? "volume" : serial);
      EXPECT_TRUE(!volume || volume->offset() == offset);
    }
    EXPECT_EQ(opened, c.opened) << c.name;
  }
  std::vector<std::string> problems;
  EXPECT_EQ(kerf::volume_offsets(m_image.get(), problems), std::vector<std::uint64_t>{0});
  EXPECT_TRUE(problems.empty());
  // A table whose second entry starts past the disk's end: said, and the
  // image tried as one volume.
  const std::string damaged = dir.file("mbr");
  std::fstream(damaged, std::ios::in | std::ios::out | std::ios::binary)
      .seekp(446 + 16 + 8)
      .write("\xff\xff\xff\x7f", 4);
  EXPECT_EQ(kerf::volume_offsets(open_image(damaged).get(), problems), std::vector<std::uint64_t>{0});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_TRUE(problems[0].starts_with("partition table: ")) << problems[0];
}

// Damaged MFT records: a clean failure with the reason, never a crash (run
// under the sanitizers too).
TEST_F(NtfsVolumeTest, DamagedRecordsFailCleanly) {
  const TempDir dir;
  const std::uint64_t prefetch = std::stoull(output_of("ifind -n /Windows/Prefetch " + s_image));
  // Noise over a record's attributes.
  const auto noise = [](unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(0x3FE - 0x38);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
  };
  struct Case {
    std::string name;
    std::uint64_t entry;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    const char* refused;  // how the volume's open fails, or null
    const char* problem;  // how listing \\Windows\\Prefetch fails, or null
    const char* cmd;      // why CMD.EXE-4A81B364.pf can't be opened, or null
  };
  const std::vector<std::uint8_t> torn = {0xAB, 0xCD};  // a sector written apart from the others
  std::vector<Case> cases = {
      {"mft", 0, 0x1FE, torn, "damaged NTFS volume: ", nullptr, nullptr},
      {"folder", prefetch, 0x3FE, torn, nullptr, "\\Windows\\Prefetch: can't be listed: ", nullptr},
      {"attribute offset", s_cmd.mft_entry, 0x14, {0xF0, 0x03}, nullptr, nullptr, "its MFT entry is damaged"},
      {"attribute length",
       s_cmd.mft_entry,
       0x38 + 4,
       {0xFF, 0xFF, 0xFF, 0x7F},
       nullptr,
       nullptr,
       "its MFT entry is damaged"},
  };
  for (unsigned seed = 1; seed <= 3; ++seed) {
    cases.push_back({"file noise " + std::to_string(seed), s_cmd.mft_entry, 0x38, noise(seed), nullptr, nullptr,
                     "its MFT entry is damaged"});
    cases.push_back(
        {"deleted noise " + std::to_string(seed), s_gone.mft_entry, 0x38, noise(seed), nullptr, nullptr, nullptr});
  }
  for (const Case& c : cases) {
    const std::string image_path = dir.file(c.name);
    std::filesystem::copy_file(s_image, image_path);
    corrupt_record(image_path, c.entry, c.offset, c.bytes);
    const ImagePtr image = open_image(image_path);
    std::string reason;
    const auto volume = NtfsVolume::open(image.get(), 0, reason);
    if (c.refused != nullptr) {
      EXPECT_FALSE(volume) << c.name;
      EXPECT_TRUE(reason.starts_with(c.refused)) << c.name << ": " << reason;
      continue;
    }
    ASSERT_TRUE(volume) << c.name << ": " << reason;
    const Listing listing = list(*volume, "\\Windows\\Prefetch", 3);
    EXPECT_EQ(listing.ok, c.problem == nullptr) << c.name;
    if (c.problem != nullptr) {
      ASSERT_EQ(listing.problems.size(), 1u) << c.name;
      EXPECT_TRUE(listing.problems[0].starts_with(c.problem)) << listing.problems[0];
    }
    for (const VolumeEntry& entry : listing.entries) {
      const auto source = volume->open_file(entry, entry.path);
      const kerf::SourceStatus opened = source->open(true);
      if (entry.mft_entry == s_cmd.mft_entry && c.cmd != nullptr) {
        EXPECT_EQ(opened.error, SourceError::unreadable) << c.name;
        EXPECT_STREQ(opened.reason, c.cmd) << c.name;
      }
      std::vector<std::uint8_t> bytes;
      if (opened.ok()) source->read(bytes, 16 * kMiB);
    }
    volume->look_up(c.entry, 1);
  }
}

// The clusters in runs of bytes, one number per cluster.
std::set<std::uint64_t> clusters_of(const std::vector<kerf::testing::VolumeRun>& runs, std::uint64_t cluster) {
  std::set<std::uint64_t> clusters;
  for (const auto& run : runs)
    for (std::uint64_t at = run.begin; at < run.end; at += cluster) clusters.insert(at / cluster);
  return clusters;
}

std::vector<kerf::testing::VolumeRun> runs_of(const kerf::ByteStream& stream) {
  std::vector<kerf::testing::VolumeRun> runs;
  for (const kerf::ByteExtent& extent : stream.extents()) runs.push_back({extent.begin, extent.end});
  return runs;
}

// The clusters blkls lists as free, in runs of bytes.
std::vector<kerf::testing::VolumeRun> blkls_free(const std::string& volume, std::uint64_t cluster) {
  std::vector<kerf::testing::VolumeRun> runs;
  std::istringstream lines(output_of("blkls -l -A " + volume));
  for (std::string line; std::getline(lines, line);) {
    if (!line.ends_with("|f") || line.find_first_not_of("0123456789") != line.size() - 2) continue;
    runs.push_back({std::stoull(line) * cluster, (std::stoull(line) + 1) * cluster});
  }
  return runs;
}

// A volume's unallocated clusters as the stream a carving scan reads: the
// free runs of its cluster bitmap, joined, a deleted file's among them less
// the part a later file took; its bytes read from where the volume lies in
// the image, never past it nor across a failed read; a store's runs and
// bytes as the store holds them.
TEST(VolumeFreeSpace, ListsAndReadsTheFreeClustersOfEachVolumeState) {
  std::string missing = kerf::testing::missing_tools({"mkntfs", "kerf_ntfs_writer", "sfdisk", "blkls", "ewfacquire"});
  if (missing.empty() && kerf::testing::vss_writer().empty()) missing = "kerf_vss_writer not built";
  if (!missing.empty()) GTEST_SKIP() << missing;
  constexpr std::uint64_t kCluster = 4096;
  // The volume's clusters: all but the last, whose last sector holds the
  // backup boot sector.
  constexpr std::uint64_t kVolumeEnd = 16 * kMiB - kCluster;
  const TempDir dir;
  const std::string volume = dir.file("volume.img"), older = dir.file("older.img"), shadowed = dir.file("vss.img");
  kerf::testing::format_ntfs(volume, 16 * kMiB);
  // The first file made grows the MFT; the space never used is what is
  // free after it.
  kerf::testing::run_ntfs_writer(volume, {"put\t\\Seed.txt\t" + dir.write_text("seed", "seed")});
  const auto never_used = clusters_of(blkls_free(volume, kCluster), kCluster);
  // A (ten clusters) and B deleted; P, half A's size, then put over A's
  // second half.
  const auto a = pattern(40000, 1), b = pattern(20000, 2), k = pattern(12000, 3), p = pattern(20000, 4);
  const auto lines = kerf::testing::run_ntfs_writer(
      volume, {"put\t\\A.pf\t" + dir.write("a", a), "put\t\\B.pf\t" + dir.write("b", b),
               "put\t\\K.pf\t" + dir.write("k", k), "clusters\t\\A.pf", "clusters\t\\B.pf", "clusters\t\\K.pf"});
  const auto a_runs = kerf::testing::runs_of(lines.at(3)), b_runs = kerf::testing::runs_of(lines.at(4)),
             k_runs = kerf::testing::runs_of(lines.at(5));
  ASSERT_EQ(a_runs.size(), 1u);
  ASSERT_EQ(a_runs[0].end - a_runs[0].begin, 10 * kCluster);
  const std::uint64_t a_at = a_runs[0].begin, b_at = b_runs.at(0).begin, p_at = a_at + 5 * kCluster;
  std::filesystem::copy_file(volume, older);
  const auto more = kerf::testing::run_ntfs_writer(
      volume, {"delete\t\\A.pf", "delete\t\\B.pf", "put_at\t\\P.pf\t" + dir.write("p", p) + "\t" +
               std::to_string(p_at), "clusters\t\\P.pf"});
  const auto p_runs = kerf::testing::runs_of(more.at(1));
  EXPECT_EQ(p_runs, (std::vector<kerf::testing::VolumeRun>{{p_at, p_at + 5 * kCluster}}));
  EXPECT_EQ(kerf::testing::reference_of(more.at(0)).mft_entry, kerf::testing::reference_of(lines.at(0)).mft_entry);
  std::filesystem::copy_file(volume, shadowed);
  kerf::testing::add_shadow_copies(shadowed, {older}, {});
  // The volume in a disk at 1 MiB, and that disk as an E01 whose chunk
  // holding A's first cluster is damaged.
  const std::string disk = dir.file("disk.raw");
  kerf::testing::make_disk(disk, 20 * kMiB, false, {{kMiB, 16 * kMiB, volume}});
  const std::string e01 = kerf::testing::convert_image(disk, kerf::testing::ImageFormat::E01, dir.file("disk")).front();
  bool damaged = false;
  for (const auto& segment : std::filesystem::directory_iterator(dir.path())) {
    auto bytes = kerf::testing::read_file_bytes(segment.path());
    const auto found = std::search(bytes.begin(), bytes.end(), a.begin(), a.begin() + 4096);
    if (!segment.path().string().starts_with(dir.file("disk.E")) || found == bytes.end()) continue;
    std::fstream(segment.path(), std::ios::in | std::ios::out | std::ios::binary)
        .seekp(found - bytes.begin() + 100)
        .write("damaged", 7);
    damaged = true;
  }
  ASSERT_TRUE(damaged);

  // An image cut short: the clusters past its end can't be read.
  const std::string cut = dir.file("cut.img");
  std::filesystem::copy_file(volume, cut);
  std::filesystem::resize_file(cut, 12 * kMiB);
  const auto without = [](std::set<std::uint64_t> clusters, const std::vector<kerf::testing::VolumeRun>& runs) {
    for (const std::uint64_t cluster : clusters_of(runs, kCluster)) clusters.erase(cluster);
    return clusters;
  };
  const auto live_free = without(without(never_used, k_runs), p_runs);
  const auto store_free = without(without(without(never_used, k_runs), a_runs), b_runs);
  std::set<std::uint64_t> cut_free;
  std::copy_if(live_free.begin(), live_free.end(), std::inserter(cut_free, cut_free.end()),
               [](std::uint64_t cluster) { return cluster < 12 * kMiB / kCluster; });
  const auto bytes = [](const std::vector<std::uint8_t>& from, std::size_t begin, std::size_t end) {
    return std::optional<std::vector<std::uint8_t>>(std::in_place, from.begin() + begin, from.begin() + end);
  };
  const std::optional<std::vector<std::uint8_t>> fails;
  auto a_then_p = bytes(a, 0, 5 * kCluster);
  a_then_p->insert(a_then_p->end(), p.begin(), p.end());
  struct Read {
    std::uint64_t offset, count;
    std::optional<std::vector<std::uint8_t>> expected;  // none: the read fails
  };
  struct Case {
    std::string image;
    unsigned copy;  // in copies()
    std::string name;
    std::uint64_t base;
    std::set<std::uint64_t> free;
    std::vector<Read> reads;
  };
  const Case cases[] = {
      {disk, 0, disk + "@1048576", kMiB, live_free,
       {{a_at, 20000, bytes(a, 0, 20000)}, {a_at, 40480, a_then_p}, {b_at, 20000, b}, {0, 0, bytes(a, 0, 0)},
        {kVolumeEnd - 100, 100, std::vector<std::uint8_t>(100, 0)}, {kVolumeEnd - 100, 101, fails},
        {~0ull - 10, 20, fails}}},
      // A read The Sleuth Kit passes off as whole (an odd length past its
      // cache) fails too.
      {e01, 0, e01 + "@1048576", kMiB, live_free,
       {{a_at, 4096, fails}, {a_at - 4096, 70001, fails}, {b_at + 4096, 8192, bytes(b, 4096, 12288)}}},
      {shadowed, 0, shadowed + "@0", 0, live_free, {{a_at, 40480, a_then_p}}},
      {cut, 0, cut + "@0", 0, cut_free, {{b_at, 20000, b}, {12 * kMiB - 10, 20, fails}}},
      {shadowed, 1, shadowed + "@0#vss1", 0, store_free, {{a_at, 40000, a}, {b_at, 20000, b}}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> problems;
    const auto opened = kerf::OpenedImage::open(c.image, problems, {true, {}});
    ASSERT_TRUE(opened) << c.name;
    ASSERT_GT(opened->copies().size(), c.copy) << c.name;
    std::string reason;
    const auto stream = opened->free_space(opened->copies()[c.copy], reason);
    ASSERT_TRUE(stream) << c.name << ": " << reason;
    EXPECT_EQ(stream->name(), c.name);
    EXPECT_EQ(stream->shown_offset_base(), c.base) << c.name;
    EXPECT_EQ(clusters_of(runs_of(*stream), kCluster), c.free) << c.name;
    for (std::size_t i = 1; i < stream->extents().size(); ++i)  // joined, in order
      EXPECT_LT(stream->extents()[i - 1].end, stream->extents()[i].begin) << c.name;
    for (const Read& read : c.reads) {
      std::vector<std::uint8_t> out(3, 1);
      const bool ok = stream->read(read.offset, read.count, out);
      EXPECT_EQ(ok, read.expected.has_value()) << c.name << " at " << read.offset << "+" << read.count;
      if (ok && read.expected) {
        EXPECT_EQ(out, *read.expected) << c.name << " at " << read.offset;
      }
    }
  }
}

}  // namespace
