// Header, run information, file names and labels of Prefetch images.
#include "prefetch/prefetch_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "lib/text_encoding.h"
#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::PrefetchEntry;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::VolumeSpec;
using Names = std::map<std::uint64_t, std::string>;
using Times = std::set<std::uint64_t>;

constexpr std::uint64_t kT1 = 130974481955514245;  // 2016-01-16
constexpr std::uint64_t kT2 = 130974540312944718;
constexpr std::uint64_t kT3 = 130979529783168750;

const std::wstring kNtdll = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
const std::wstring kNotepad = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";

PrefetchImageBuilder typical(std::uint32_t version) {
  PrefetchImageBuilder builder(version);
  builder.exe_name(L"NOTEPAD.EXE")
      .run_times({kT2, kT1})
      .run_count(7)
      .file_names({kNtdll, kNotepad})
      .add_volume(VolumeSpec(L"\\DEVICE\\HARDDISKVOLUME1", 0x64BB3469, kT3,
                             {L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS"}, 24));
  return builder;
}

std::optional<PrefetchEntry> parse(const std::vector<std::uint8_t>& image) {
  PrefetchEntry entry;
  if (!kerf::parse_prefetch_image(image, entry)) return std::nullopt;
  return entry;
}

TEST(PrefetchImageTest, NeedsTwoHundredTwentyEightBytesAndTheSignature) {
  const std::vector<std::uint8_t> full = typical(30).build();
  ASSERT_GT(full.size(), 228u);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
    bool accepted;
  };
  std::vector<std::uint8_t> no_signature = full;
  no_signature[7] = 'B';
  const Case cases[] = {
      {"227 bytes", std::vector<std::uint8_t>(full.begin(), full.begin() + 227), false},
      {"228 bytes", std::vector<std::uint8_t>(full.begin(), full.begin() + 228), true},
      {"no SCCA", no_signature, false},
      {"empty", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(kerf::is_prefetch_image(c.image), c.accepted);
    if (!c.accepted) {
      EXPECT_FALSE(parse(c.image));
    }
  }
}

TEST(PrefetchImageTest, ShortestImageDecodesWithoutSections) {
  // Both section offsets point at the end: no names, no volumes.
  const auto entry = parse(PrefetchImageBuilder(30).exe_name(L"A.EXE").patch_u32(100, 228)
                               .patch_u32(108, 228).resize(228).build());
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->loaded_files.empty());
  EXPECT_TRUE(entry->volume_paths.empty());
  EXPECT_EQ(entry->app_path, "A.EXE");
}

TEST(PrefetchHeader, ExecutableNameUpToThirtyUnits) {
  struct Case {
    std::wstring name;
    std::string exe_name;
  };
  const Case cases[] = {
      {L"CMD.EXE", "CMD.EXE"},
      {L"DCODEDCODEDCODEDCODEDCODEDCODE", "DCODEDCODEDCODEDCODEDCODEDCODE"},  // 30 units, no zero
      {L"", ""},
      {L"\u00C9T\u00C9.EXE", "\xC3\x89T\xC3\x89.EXE"},
      // Surrogate halves are not paired: each becomes its own sequence.
      {std::wstring{wchar_t{0xD83D}, wchar_t{0xDE00}}, "\xED\xA0\xBD\xED\xB8\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe_name);
    // The next header field is non-zero, so a 30-unit name must stop by count.
    const auto entry = parse(typical(26).exe_name(c.name).path_hash(0x41414141).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->exe_name, c.exe_name);
  }
}

TEST(PrefetchHeader, LabelAndRunInformationByVersion) {
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
      {31, 296, "Win11 Prefetch", kT2, 7, {kT1}},
      {31, 0, "Win11 Prefetch", 0, 0, {kT1}},
      {99, 0, "Prefetch", 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << "/" << c.selector);
    PrefetchImageBuilder builder = typical(c.version);
    if (c.version >= 30) builder.layout_selector(c.selector);
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->format_label, c.label);
    EXPECT_EQ(entry->last_run_time, c.last_run);
    EXPECT_EQ(entry->run_count, c.run_count);
    EXPECT_EQ(entry->prev_run_times, c.previous);
    // Everything else is decoded whatever the run information says.
    EXPECT_EQ(entry->exe_name, "NOTEPAD.EXE");
    EXPECT_EQ(entry->loaded_files.size(), 2u);
    EXPECT_EQ(entry->volume_paths, std::vector<std::string>{"\\DEVICE\\HARDDISKVOLUME1"});
  }
}

TEST(PrefetchHeader, RunCountOffsetFollowsTheWindows10Selector) {
  // Each layout reads its own offset only: the other one holds a decoy.
  const auto at208 = parse(typical(30).layout_selector(304).patch_u32(200, 99).build());
  const auto at200 = parse(typical(30).layout_selector(296).patch_u32(208, 99).build());
  ASSERT_TRUE(at208 && at200);
  EXPECT_EQ(at208->run_count, 7u);
  EXPECT_EQ(at200->run_count, 7u);
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
      {"slot 1 newest", {kT3, kT2, kT1}, kT3, {kT1, kT2}},
      {"slot 3 newest", {kT1, 0, kT3}, kT3, {kT3}},
      {"duplicates kept once", {kT3, kT2, kT2, kT1, kT2}, kT3, {kT1, kT2}},
      {"zeros dropped", {0, kT1, 0, 0, 0, 0, 0, kT2}, kT2, {kT1, kT2}},
      {"all zero", {0, 0, 0, 0, 0, 0, 0, 0}, 0, {}},
      {"none written", {}, 0, {}},
      {"unsigned comparison", {kT1, kTop}, kTop, {kTop}},
  };
  for (const std::uint32_t version : {26u, 30u, 31u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << version << ": " << c.what);
      const auto entry = parse(typical(version).run_times(c.slots).build());
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->last_run_time, c.last_run);
      EXPECT_EQ(entry->prev_run_times, c.previous);
    }
  }
}

TEST(PrefetchHeader, SingleRunTimeVersionsIgnoreTheSlots) {
  for (const std::uint32_t version : {17u, 23u}) {
    SCOPED_TRACE(version);
    const auto entry = parse(typical(version).patch_u64(136, kT3).patch_u64(184, kT3).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->last_run_time, kT2);
    EXPECT_TRUE(entry->prev_run_times.empty());
  }
}

TEST(PrefetchHeader, SmallHeaderSizeFieldHidesOnlyTheRunInformation) {
  for (const std::uint32_t size : {0u, 227u, 228u}) {
    SCOPED_TRACE(size);
    const auto entry = parse(typical(30).header_size(size).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->run_count, size > 227 ? 7u : 0u);
    EXPECT_EQ(entry->last_run_time, size > 227 ? kT2 : 0u);
    EXPECT_EQ(entry->prev_run_times, Times{kT1});
  }
}

TEST(PrefetchHeader, ReadRunInfoNeverReadsPastAShortImage) {
  std::vector<std::uint8_t> image = typical(26).build();
  image.resize(210);  // the run count at 208 is cut in half
  std::uint64_t last_run = 1;
  std::uint32_t count = 1;
  EXPECT_FALSE(kerf::read_run_info(image, last_run, count));
  EXPECT_EQ(last_run, 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(kerf::read_run_info({}, last_run, count));
  image.resize(212);
  EXPECT_TRUE(kerf::read_run_info(image, last_run, count));
  EXPECT_EQ(count, 7u);
}

TEST(LoadedFiles, KeyedByTheImageOffsetOfEachName) {
  // Each unit is one code point: surrogate halves stay unpaired.
  const std::wstring odd_units{L'A', wchar_t{0x80}, wchar_t{0xD83D}, wchar_t{0xDE00}, wchar_t{0xFFFF}};
  const PrefetchImageBuilder builder =
      typical(23).add_file_name(L"").add_file_name(L"\u0416.DLL").add_file_name(odd_units);
  const auto layout = builder.layout();
  const auto entry = parse(builder.build());
  ASSERT_TRUE(entry);
  const Names expected{{layout.file_name_offsets[0], "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
                       {layout.file_name_offsets[1], "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
                       {layout.file_name_offsets[2], ""},
                       {layout.file_name_offsets[3], "\xD0\x96.DLL"},
                       {layout.file_name_offsets[4], "A\xC2\x80\xED\xA0\xBD\xED\xB8\x80\xEF\xBF\xBF"}};
  EXPECT_EQ(entry->loaded_files, expected);
}

TEST(LoadedFiles, WalkEndsAtTheCountOrTheEndOfTheImage) {
  PrefetchImageBuilder base(30);
  base.exe_name(L"B").file_names({L"AB", L"C", L"D"});
  const auto layout = base.layout();
  const std::uint64_t ab = layout.file_name_offsets[0];
  const std::uint64_t c = layout.file_name_offsets[1];
  const std::uint64_t d = layout.file_name_offsets[2];
  const std::uint64_t end = layout.file_names_end;
  struct Case {
    const char* what;
    std::uint32_t count;
    std::size_t length;  // image cut after the names (0: as built)
    Names names;
  };
  const Case cases[] = {
      {"count 2 of 3", 2, 0, {{ab, "AB"}, {c, "C"}}},
      {"count 1", 1, 0, {{ab, "AB"}}},
      // Count 0 never matches: every zero unit up to the end ends a name.
      {"count 0", 0, end + 6, {{ab, "AB"}, {c, "C"}, {d, "D"}, {end, ""}, {end + 2, ""}, {end + 4, ""}}},
      {"count beyond the names", 9, end + 3, {{ab, "AB"}, {c, "C"}, {d, "D"}, {end, ""}}},
      {"last name cut off", 3, end - 2, {{ab, "AB"}, {c, "C"}}},
      {"last name cut off mid-unit", 3, end - 1, {{ab, "AB"}, {c, "C"}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    PrefetchImageBuilder builder = base;
    builder.patch_u32(88, k.count).patch_u32(108, 228);  // no volume block in the way
    if (k.length != 0) builder.resize(k.length);
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->loaded_files, k.names);
  }
}

TEST(LoadedFiles, ApplicationPathIsTheFirstNameHoldingTheExecutable) {
  struct Case {
    const char* what;
    std::wstring exe;
    std::vector<std::wstring> names;
    std::string app_path;
  };
  const Case cases[] = {
      {"full path", L"NOTEPAD.EXE", {kNtdll, kNotepad}, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
      {"inside an earlier name", L"CMD.EXE", {L"\\X\\CMD.EXE.MUI", L"\\X\\CMD.EXE"}, "\\X\\CMD.EXE.MUI"},
      {"truncated header name", L"DCODEDCODEDCODEDCODEDCODEDCODE",
       {kNtdll, L"\\V3\\DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE"}, "\\V3\\DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE"},
      {"not found", L"GHOST.EXE", {kNtdll, kNotepad}, "GHOST.EXE"},
      {"case matters", L"notepad.exe", {kNotepad}, "notepad.exe"},
      {"no names", L"NOTEPAD.EXE", {}, "NOTEPAD.EXE"},
      {"empty exe takes the first name", L"", {L"\\A.DLL", kNotepad}, "\\A.DLL"},
      {"empty exe and empty first name", L"", {L"", kNotepad}, "unk"},
      {"empty exe and no names", L"", {}, "unk"},
      {"non-ASCII", L"\u00C9.EXE", {L"\\\u00C9.EXE"}, "\\\xC3\x89.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto entry = parse(PrefetchImageBuilder(26).exe_name(c.exe).file_names(c.names).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->app_path, c.app_path);
    EXPECT_EQ(entry->exe_name, qv::wide_to_utf8(c.exe));  // the header name is kept as it is
  }
}

TEST(LoadedFiles, ReplacesTheExecutableNameOnlyInTheWideArgument) {
  const auto image = PrefetchImageBuilder(30).exe_name(L"CMD.EXE").file_names({L"\\X\\CMD.EXE"}).build();
  std::wstring exe = L"CMD.EXE";
  Names names;
  ASSERT_TRUE(kerf::read_loaded_files(image, exe, names));
  EXPECT_EQ(exe, L"\\X\\CMD.EXE");
  // A key already present is never overwritten.
  names.begin()->second = "kept";
  exe = L"CMD.EXE";
  ASSERT_TRUE(kerf::read_loaded_files(image, exe, names));
  EXPECT_EQ(names.begin()->second, "kept");
}

TEST(SectionOffsets, BeyondTheImageFailTheParse) {
  const std::vector<std::uint8_t> image = typical(30).build();
  const auto length = static_cast<std::uint32_t>(image.size());
  struct Case {
    const char* what;
    std::uint64_t field;
    std::uint32_t value;
    bool parsed;
  };
  const Case cases[] = {
      {"file names at the end", 100, length, true},
      {"file names past the end", 100, length + 1, false},
      {"file names far past the end", 100, 0xFFFFFFFF, false},
      {"volumes at the end", 108, length, true},
      {"volumes past the end", 108, length + 1, false},
      {"volumes far past the end", 108, 0xFFFFFFFF, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchEntry entry;
    const auto patched = typical(30).patch_u32(c.field, c.value).build();
    EXPECT_EQ(kerf::parse_prefetch_image(patched, entry), c.parsed);
    // The header is decoded before the sections are walked.
    EXPECT_EQ(entry.exe_name, "NOTEPAD.EXE");
  }
}

TEST(PrefetchEntryReuse, ClearedRecordKeepsOnlyTheLastLabel) {
  PrefetchEntry entry;
  ASSERT_TRUE(kerf::parse_prefetch_image(typical(17).build(), entry));
  ASSERT_EQ(entry.format_label, "WinXP Prefetch");

  kerf::clear_entry(entry);
  std::vector<std::uint8_t> broken = typical(30).build();
  broken[4] = 'X';
  EXPECT_FALSE(kerf::parse_prefetch_image(broken, entry));
  EXPECT_EQ(entry.format_label, "WinXP Prefetch");  // set only by a successful parse

  kerf::clear_entry(entry);
  ASSERT_TRUE(kerf::parse_prefetch_image(
      PrefetchImageBuilder(31).exe_name(L"B.EXE").run_times({0, kT1}).file_names({L"\\B.EXE"}).build(), entry));
  EXPECT_EQ(entry.format_label, "Win11 Prefetch");
  EXPECT_EQ(entry.exe_name, "B.EXE");
  EXPECT_EQ(entry.loaded_files.size(), 1u);
  EXPECT_EQ(entry.run_count, 0u);
  EXPECT_EQ(entry.prev_run_times, Times{kT1});
  EXPECT_TRUE(entry.volume_paths.empty());
  EXPECT_TRUE(entry.volume_dirs.empty());
}

}  // namespace
