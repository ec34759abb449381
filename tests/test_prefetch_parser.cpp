// The Prefetch image parser: header, run information, file names, labels,
// and the volume block with the damaged shapes that must end a list instead
// of reading past the image.
#include "prefetch/parser.h"

#include "prefetch/header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::PrefetchRecord;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::PrefetchImageLayout;
using kerf::testing::VolumeSpec;
using Names = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;  // newest first

Names names_of(const kerf::NameList& list) { return Names(list.begin(), list.end()); }

std::vector<std::string> device_paths(const PrefetchRecord& record) {
  std::vector<std::string> paths;
  for (const kerf::Volume& volume : record.volumes) paths.push_back(volume.device_path);
  return paths;
}

std::vector<Names> directories(const PrefetchRecord& record) {
  std::vector<Names> all;
  for (const kerf::Volume& volume : record.volumes) all.push_back(names_of(volume.directories));
  return all;
}

constexpr std::uint64_t kT1 = 130974481955514245;  // 2016-01-16
constexpr std::uint64_t kT2 = 130974540312944718;
constexpr std::uint64_t kT3 = 130979529783168750;

const std::wstring kNtdll = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
const std::wstring kNotepad = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";

// Directory names of the system volume: count of "\V\A" at +0, its units at
// +2; count of "\V\BB" at +12, its units at +14 to +24.
VolumeSpec system_volume(std::uint32_t leading_zero_words = 0) {
  VolumeSpec volume(L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}", 0x8C9F49EC, kT1, {L"\\V\\A", L"\\V\\BB"}, 52);
  volume.leading_zero_words = leading_zero_words;
  return volume;
}

VolumeSpec tools_volume() {
  return VolumeSpec(L"\\DEVICE\\HARDDISKVOLUME3", 0xE892367F, kT2,
                    {L"\\DEVICE\\HARDDISKVOLUME3\\T\u00D6\u00D6LS"});
}

// A volume whose count promises one directory name that is not there.
VolumeSpec one_directory_missing(std::uint32_t zero_words) {
  VolumeSpec volume = system_volume(zero_words);
  volume.directories.clear();
  volume.directory_count = 1;
  return volume;
}

const std::string kSystem = "\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
const std::string kTools = "\\DEVICE\\HARDDISKVOLUME3";
const Names kSystemDirs{"\\V\\A", "\\V\\BB"};
const Names kToolsDirs{"\\DEVICE\\HARDDISKVOLUME3\\T\xC3\x96\xC3\x96LS"};

PrefetchImageBuilder typical(std::uint32_t version,
                             const std::vector<VolumeSpec>& volumes = {system_volume(), tools_volume()}) {
  PrefetchImageBuilder builder(version);
  builder.exe_name(L"NOTEPAD.EXE").run_times({kT2, kT1}).run_count(7).file_names({kNtdll, kNotepad});
  for (const VolumeSpec& volume : volumes) builder.add_volume(volume);
  return builder;
}

std::optional<PrefetchRecord> parse(const std::vector<std::uint8_t>& image) {
  PrefetchRecord record;
  if (kerf::parse_prefetch_image(image, record) != kerf::ParseResult::ok) return std::nullopt;
  return record;
}

TEST(PrefetchImage, NeedsTwoHundredTwentyEightBytesAndTheSignature) {
  const std::vector<std::uint8_t> full = typical(30).build();
  std::vector<std::uint8_t> no_signature = full;
  no_signature[7] = 'B';
  EXPECT_FALSE(parse(no_signature));
  EXPECT_FALSE(parse(std::vector<std::uint8_t>(full.begin(), full.begin() + 227)));
  const std::vector<std::uint8_t> shortest(full.begin(), full.begin() + 228);
  EXPECT_TRUE(kerf::is_prefetch_image(kerf::io::ByteReader{shortest}));
}

TEST(PrefetchHeader, ExecutableNameUpToThirtyUnits) {
  struct Case {
    std::wstring name;
    std::string exe_name;
  };
  const Case cases[] = {
      {L"DCODEDCODEDCODEDCODEDCODEDCODE", "DCODEDCODEDCODEDCODEDCODEDCODE"},  // 30 units, no zero
      {L"", ""},
      {L"\u00C9T\u00C9.EXE", "\xC3\x89T\xC3\x89.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe_name);
    // The next header field is non-zero, so a 30-unit name must stop by count.
    const auto entry = parse(typical(26).exe_name(c.name).path_hash(0x41414141).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->exe_name, c.exe_name);
  }
}

TEST(PrefetchHeader, LabelRunInformationAndVolumesByVersion) {
  struct Case {
    std::uint32_t version;
    std::uint32_t selector;
    const char* label;
    std::uint64_t last_run;
    std::uint32_t run_count;
    Times previous;
  };
  const Case cases[] = {
      {17, 0, "WinXP Prefetch", kT2, 7, {}},
      {23, 0, "Vista/Win7 Prefetch", kT2, 7, {}},
      {26, 0, "Win8 Prefetch", kT2, 7, {kT1}},
      {30, 304, "Win10 Prefetch", kT2, 7, {kT1}},
      {30, 296, "Win10 Prefetch", kT2, 7, {kT1}},
      {30, 0x100, "Win10 Prefetch", 0, 0, {kT1}},  // unknown layout: no run information
      {31, 304, "Win11 Prefetch", kT2, 7, {kT1}},
      {31, 0, "Win11 Prefetch", 0, 0, {kT1}},
      {99, 0, "Prefetch", 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << "/" << c.selector);
    PrefetchImageBuilder builder = typical(c.version);
    if (c.version >= 30) builder.layout_selector(c.selector);
    // Each layout reads its own run-count offset only: the other holds a decoy.
    if (c.selector == 304) builder.patch_u32(200, 99);
    if (c.selector == 296) builder.patch_u32(208, 99);
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->format_label(), c.label);
    EXPECT_EQ(entry->last_run_time, c.last_run);
    EXPECT_EQ(entry->run_count, c.run_count);
    EXPECT_EQ(entry->previous_run_times, c.previous);
    // Everything else is decoded whatever the run information says, each
    // version's volume entries with their own size.
    EXPECT_EQ(entry->loaded_files.size(), 2u);
    EXPECT_EQ(device_paths(*entry), (std::vector<std::string>{kSystem, kTools}));
    ASSERT_EQ(entry->volumes.size(), 2u);
    EXPECT_EQ(entry->volumes[0].serial, 0x8C9F49ECu);
    EXPECT_EQ(entry->volumes[1].serial, 0xE892367Fu);
    EXPECT_EQ(entry->volumes[0].created, kT1);
    EXPECT_EQ(entry->volumes[1].created, kT2);
    EXPECT_EQ(directories(*entry), (std::vector<Names>{kSystemDirs, kToolsDirs}));
  }
  // A header size field below 228 hides only the run information.
  const auto small_header = parse(typical(30).header_size(227).build());
  ASSERT_TRUE(small_header);
  EXPECT_EQ(small_header->run_count, 0u);
  EXPECT_EQ(small_header->previous_run_times, Times{kT1});
}

TEST(PrefetchHeader, RunTimeSlots) {
  constexpr std::uint64_t kTop = 0x8000000000000001;  // compared unsigned
  struct Case {
    const char* what;
    std::vector<std::uint64_t> slots;
    std::uint64_t last_run;
    Times previous;
  };
  const Case cases[] = {
      {"slot 3 newest", {kT1, 0, kT3}, kT3, {kT3}},
      {"duplicates kept once", {kT3, kT2, kT2, kT1, kT2}, kT3, {kT2, kT1}},
      {"zeros dropped", {0, kT1, 0, 0, 0, 0, 0, kT2}, kT2, {kT2, kT1}},
      {"all zero", {0, 0, 0, 0, 0, 0, 0, 0}, 0, {}},
      {"unsigned comparison", {kT1, kTop}, kTop, {kTop}},
  };
  for (const std::uint32_t version : {26u, 30u, 31u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << version << ": " << c.what);
      const auto entry = parse(typical(version).run_times(c.slots).build());
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->last_run_time, c.last_run);
      EXPECT_EQ(entry->previous_run_times, c.previous);
    }
  }
}

TEST(LoadedFiles, WalkEndsAtTheCountOrTheEndOfTheImage) {
  PrefetchImageBuilder base(30);
  base.exe_name(L"B").file_names({L"AB", L"C", L"D"});
  const std::uint64_t end = base.layout().file_names_end;
  struct Case {
    const char* what;
    std::uint32_t count;
    std::size_t length;  // image cut after the names (0: as built)
    Names names;
  };
  const Case cases[] = {
      {"count 2 of 3", 2, 0, {"AB", "C"}},
      // Count 0 never matches: every zero unit up to the end ends a name.
      {"count 0", 0, end + 4, {"AB", "C", "D", "", ""}},
      {"count beyond the names", 9, end + 3, {"AB", "C", "D", ""}},
      {"last name cut off mid-unit", 3, end - 1, {"AB", "C"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    PrefetchImageBuilder builder = base;
    builder.patch_u32(88, k.count).patch_u32(108, 228);  // no volume block in the way
    if (k.length != 0) builder.resize(k.length);
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(names_of(entry->loaded_files), k.names);
  }
}

TEST(LoadedFiles, ApplicationPathIsTheFirstNameHoldingTheExecutable) {
  struct Case {
    std::wstring exe;
    std::vector<std::wstring> names;
    std::string app_path;
  };
  const Case cases[] = {
      {L"NOTEPAD.EXE", {kNtdll, kNotepad}, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
      {L"CMD.EXE", {L"\\X\\CMD.EXE.MUI", L"\\X\\CMD.EXE"}, "\\X\\CMD.EXE.MUI"},  // inside an earlier name
      {L"GHOST.EXE", {kNtdll, kNotepad}, "GHOST.EXE"},
      {L"notepad.exe", {kNotepad}, "notepad.exe"},  // case matters
      {L"", {L"\\A.DLL", kNotepad}, "\\A.DLL"},
      {L"", {L"", kNotepad}, "unk"},
      {L"", {}, "unk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app_path);
    const auto entry = parse(PrefetchImageBuilder(26).exe_name(c.exe).file_names(c.names).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->app_path, c.app_path);
  }
}

TEST(SectionOffsets, BeyondTheImageFailTheParse) {
  const auto length = static_cast<std::uint32_t>(typical(30).build().size());
  for (const std::uint64_t field : {100u, 108u}) {  // file names, volumes
    EXPECT_TRUE(parse(typical(30).patch_u32(field, length).build())) << field;
    EXPECT_FALSE(parse(typical(30).patch_u32(field, length + 1).build())) << field;
    EXPECT_FALSE(parse(typical(30).patch_u32(field, 0xFFFFFFFF).build())) << field;
  }
}

TEST(Volumes, DamageEndsTheListWithoutReadingPastTheImage) {
  using B = PrefetchImageBuilder;
  using L = PrefetchImageLayout;
  const std::vector<VolumeSpec> one{system_volume()};
  struct Case {
    const char* what;
    std::vector<VolumeSpec> volumes;
    std::function<void(B&, const L&)> damage;
    std::vector<std::string> paths;
    std::vector<Names> dirs;
  };
  const auto path_end = [](const L& l) { return l.volumes[0].path_offset + 2 * kSystem.size(); };
  const Case cases[] = {
      {"three bytes at the volume offset", one,
       [](B& b, const L& l) { b.patch_u32(108, static_cast<std::uint32_t>(l.length - 3)); }, {}, {}},
      {"entry cut by the end of the image", one,
       [](B& b, const L& l) {
         b.patch_u32(108, static_cast<std::uint32_t>(l.length - 40)).patch_u32(l.length - 40, 96);
       },
       {}, {}},
      // A 32-bit sum would wrap around to offset 16 (the executable name).
      {"second path offset wrapping around", {system_volume(), tools_volume()},
       [](B& b, const L& l) {
         b.patch_u32(l.volumes[1].entry_offset, static_cast<std::uint32_t>((1ull << 32) - l.volumes_offset + 16));
       },
       {kSystem}, {kSystemDirs}},
      {"device path running to the end", one, [&](B& b, const L& l) { b.resize(path_end(l)); }, {kSystem}, {{}}},
      {"leading zero words before a count", {system_volume(3), tools_volume()}, [](B&, const L&) {}, {kSystem, kTools},
       {kSystemDirs, kToolsDirs}},
      {"zero words up to the end", {one_directory_missing(4)}, [](B&, const L&) {}, {kSystem}, {{}}},
      {"odd image ending at a directory count", {one_directory_missing(0)},
       [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + 1); }, {kSystem}, {{}}},
      {"directory name cut by the end", one,
       [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + 18); }, {kSystem}, {{"\\V\\A"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchImageBuilder builder = typical(30, c.volumes);
    c.damage(builder, builder.layout());
    PrefetchRecord record;
    ASSERT_EQ(kerf::parse_prefetch_image(builder.build(), record), kerf::ParseResult::ok);
    EXPECT_EQ(device_paths(record), c.paths);
    EXPECT_EQ(directories(record), c.dirs);
  }
}

}  // namespace
