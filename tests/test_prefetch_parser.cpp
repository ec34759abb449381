// The Prefetch image parser: header, run information, file names, and the
// volume block with the damaged shapes that must end a list instead of
// reading past the image; and what a decoded image says about the
// executable and its files: the path that proves the stored hash (with the
// volume-number search, the path the header points to, cut names), the NTFS
// file references of the loaded files, and whether a volume's GUID-style
// name agrees with its entry. The real files of the corpus test prove the
// hash of ordinary paths.
#include "prefetch/parser.h"

#include "prefetch/header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "prefetch/path_hash.h"
#include "testkit/prefetch_image_builder.h"

namespace {

using kerf::PrefetchRecord;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::VolumeSpec;
using kerf::testing::image_u32;
using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;  // in slot order

// Each volume as its device path, serial and creation time, then its
// directory names.
std::vector<Names> volumes_of(const PrefetchRecord& record) {
  std::vector<Names> all;
  for (const kerf::Volume& volume : record.volumes) {
    Names& names = all.emplace_back();
    names.push_back(volume.device_path + " " + std::to_string(volume.serial) + " " + std::to_string(volume.created));
    names.insert(names.end(), volume.directories.begin(), volume.directories.end());
  }
  return all;
}

constexpr std::uint64_t kT1 = 130974481955514245;  // 2016-01-16
constexpr std::uint64_t kT2 = 130974540312944718;
constexpr std::uint64_t kT3 = 130979529783168750;

const std::wstring kGuid = L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
const std::wstring kNtdll = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
const std::wstring kNotepad = L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";

// Directory names of the system volume: count of "\V\A" at +0, its units at
// +2; count of "\V\BB" at +12, its units at +14 to +24.
VolumeSpec system_volume(std::uint32_t leading_zero_words = 0) {
  VolumeSpec volume(kGuid, 0x8C9F49EC, kT1, {L"\\V\\A", L"\\V\\BB"}, 52);
  volume.leading_zero_words = leading_zero_words;
  return volume;
}

// Its device path (25 units and a zero) ends 4 bytes past an 8-byte
// boundary, so a directory list looked for from 4 bytes before the path's
// end would start on the path's last character, not on zero padding.
const VolumeSpec kToolsVolume(L"\\DEVICE\\HARDDISKVOLUME123", 0xE892367F, kT2, {L"\\DEVICE\\HARDDISKVOLUME123\\T\u00D6\u00D6LS"});

// A volume whose count promises one directory name that is not there.
VolumeSpec one_directory_missing(std::uint32_t zero_words) {
  VolumeSpec volume = system_volume(zero_words);
  volume.directories.clear();
  volume.directory_count = 1;
  return volume;
}

const std::string kSystemPath(kGuid.begin(), kGuid.end());
const std::string kSystem = kSystemPath + " 2359249388 " + std::to_string(kT1);
const Names kSystemDirs{kSystem, "\\V\\A", "\\V\\BB"};
const Names kToolsDirs{"\\DEVICE\\HARDDISKVOLUME123 3901896319 " + std::to_string(kT2),
                       "\\DEVICE\\HARDDISKVOLUME123\\T\xC3\x96\xC3\x96LS"};

PrefetchImageBuilder typical(std::uint32_t version, const std::vector<VolumeSpec>& volumes = {system_volume(), kToolsVolume}) {
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
  const std::vector<std::uint8_t> shortest(full.begin(), full.begin() + 228);
  EXPECT_TRUE(kerf::is_prefetch_image(kerf::io::ByteReader{shortest}));
  EXPECT_FALSE(kerf::is_prefetch_image(kerf::io::ByteReader{std::span(shortest).first(227)}));
}

// Versions 17 and 23 keep one run time; the later ones eight slots: slot 1
// is the last run, and slots 2 to 8, zeros dropped, are the older runs as
// stored, each slot once. Here slot 1 is not the newest (runs overlapped or
// the clock was set back), and that is kept as a fact.
TEST(PrefetchHeader, LabelRunInformationAndVolumesByVersion) {
  struct Case {
    std::uint32_t version;
    std::uint32_t selector;
    const char* label;
    std::uint64_t last_run;
    std::uint32_t run_count;
    Times previous;
    bool in_order;
  };
  const Times older{kT1, kT1, kT2, kT3};
  const Case cases[] = {
      {17, 0, "WinXP Prefetch", kT2, 7, {}, true},
      {23, 0, "Vista/Win7 Prefetch", kT2, 7, {}, true},
      {26, 0, "Win8 Prefetch", kT2, 7, older, false},
      {30, 304, "Win10 Prefetch", kT2, 7, older, false},
      {30, 296, "Win10 Prefetch", kT2, 7, older, false},
      {30, 0x100, "Win10 Prefetch", 0, 0, older, false},  // unknown layout: no run information
      {31, 304, "Win11 Prefetch", kT2, 7, older, false},
      {99, 0, "Prefetch", 0, 0, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << "/" << c.selector);
    PrefetchImageBuilder builder = typical(c.version);
    builder.layout_selector(c.selector).run_times({kT2, kT1, 0, kT1, 0, 0, kT2, kT3});
    // Each layout reads its own run-count offset only: the other holds a decoy.
    if (c.selector == 304) builder.patch_u32(200, 99);
    if (c.selector == 296) builder.patch_u32(208, 99);
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->format_label(), c.label);
    EXPECT_EQ(entry->last_run_time, c.last_run);
    EXPECT_EQ(entry->run_count, c.run_count);
    EXPECT_EQ(entry->previous_run_times, c.previous);
    EXPECT_EQ(entry->run_times_in_order, c.in_order);
    // Everything else is decoded whatever the run information says, each
    // version's volume entries with their own size.
    EXPECT_EQ(entry->loaded_files.size(), 2u);
    EXPECT_EQ(volumes_of(*entry), (std::vector<Names>{kSystemDirs, kToolsDirs}));
  }
  // A header size field below 228 hides only the run information.
  const auto small_header = parse(typical(30).patch_u32(12, 227).build());
  ASSERT_TRUE(small_header);
  EXPECT_EQ(small_header->run_count, 0u);
  EXPECT_EQ(small_header->previous_run_times, Times{kT1});
  // Newest first, zeros skipped and equal times kept, is in order; a zero
  // slot 1 is no run to compare with.
  for (const auto& [slots, in_order] : {std::pair<Times, bool>{{kT3, kT3, 0, kT2, kT1}, true},
                                        {{kT3, kT1, kT2}, false},
                                        {{0, kT2, kT1}, true}}) {
    const auto entry = parse(typical(30).run_times(slots).build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->run_times_in_order, in_order) << slots[1];
  }
  const auto header_of_228 = parse(typical(30).patch_u32(12, 228).build());
  ASSERT_TRUE(header_of_228);
  EXPECT_NE(header_of_228->run_count, 0u);
}

TEST(LoadedFiles, WalkEndsAtTheCountOrTheEndOfTheImage) {
  PrefetchImageBuilder base(30);
  base.exe_name(L"B").file_names({L"AB", L"C", L"D"});
  const Bytes built = base.build();
  const std::uint64_t end = image_u32(built, 100) + image_u32(built, 104);  // just past the last name
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
    EXPECT_EQ(Names(entry->loaded_files.begin(), entry->loaded_files.end()), k.names);
  }
}

std::uint32_t hash_of(std::uint32_t version, const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t unit : path) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return kerf::path_hash(version, bytes);
}

std::wstring on_volume(std::uint64_t number, const std::wstring& rest) {
  return L"\\DEVICE\\HARDDISKVOLUME" + std::to_wstring(number) + rest;
}

const std::wstring kLongExe = L"DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE";
const std::wstring kSystem32 = on_volume(1, L"\\WINDOWS\\SYSTEM32");

// The application path is the first name whose last component is the
// executable's name, or the path the stored hash proves in a listed
// directory, or that name itself; so the last rows show how the header's
// name is read: up to 30 units (the next field is not zero), UTF-16 made
// UTF-8.
TEST(LoadedFiles, ApplicationPathIsTheLoadedFileNamedAsTheExecutable) {
  struct Case {
    std::wstring exe;
    std::vector<std::wstring> names;
    std::string app_path;
    std::vector<std::wstring> directories = {};  // of one volume
    std::wstring hashed = L"";                    // the path the stored hash is made from
  };
  const std::wstring audiodg = kSystem32 + L"\\AUDIODG.EXE";
  const std::string system32(kSystem32.begin(), kSystem32.end());
  const Case cases[] = {
      {L"NOTEPAD.EXE", {kNtdll, kNotepad}, "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
      {L"CMD.EXE", {L"\\X\\CMD.EXE.MUI", L"\\TOOLS\\MYCMD.EXE", L"\\X\\CMD.EXE"}, "\\X\\CMD.EXE"},
      {L"APP.EXE", {L"\\CLR_V4.0\\USAGELOGS\\APP.EXE.LOG", L"\\S\\App.exe"}, "\\S\\App.exe"},
      {L"GHOST.EXE", {kNtdll, kNotepad}, "GHOST.EXE"},
      {kLongExe.substr(0, 29), {L"\\" + kLongExe.substr(0, 28), L"\\" + kLongExe}, "\\DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE"},
      // Not listed itself: its directory, joined with its name, gives the
      // stored hash; as the file lists it, also under a GUID-style name.
      {L"AUDIODG.EXE", {kNtdll, audiodg + L".MUI"}, system32 + "\\AUDIODG.EXE", {on_volume(1, L"\\"), kSystem32}, audiodg},
      {L"AUDIODG.EXE", {}, kSystemPath + "\\AUDIODG.EXE", {kGuid + L"\\WINDOWS", kGuid}, on_volume(3, L"\\AUDIODG.EXE")},
      {L"AUDIODG.EXE", {}, "AUDIODG.EXE", {kSystem32}, on_volume(2, L"\\WINDOWS\\SYSTEM32\\AUDIODG.EXE")},
      {kLongExe.substr(0, 29), {}, "DCODEDCODEDCODEDCODEDCODEDCOD", {kSystem32}, kSystem32 + L"\\" + kLongExe.substr(0, 29)},
      {L"", {L"", kNotepad}, "unk"},
      {L"DCODEDCODEDCODEDCODEDCODEDCODE", {}, "DCODEDCODEDCODEDCODEDCODEDCODE"},
      {L"\u00C9T\u00C9.EXE", {}, "\xC3\x89T\xC3\x89.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app_path);
    PrefetchImageBuilder builder(26);
    builder.exe_name(c.exe).path_hash(c.hashed.empty() ? 0x41414141 : hash_of(26, c.hashed)).file_names(c.names);
    if (!c.directories.empty()) builder.add_volume({L"\\DEVICE\\HARDDISKVOLUME1", 1, kT1, c.directories});
    const auto entry = parse(builder.build());
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
  const std::vector<VolumeSpec> one{system_volume()};
  // Where the first volume's field at `at` (0: its path, 28: its directory
  // names) points in image `i`.
  const auto first_volume = [](const Bytes& i, std::size_t at) {
    return image_u32(i, 108) + image_u32(i, image_u32(i, 108) + at);
  };
  struct Case {
    const char* what;
    std::vector<VolumeSpec> volumes;
    std::function<void(B&, const Bytes&)> damage;
    std::vector<Names> expected;
  };
  const Case cases[] = {
      {"three bytes at the volume offset", one,
       [](B& b, const Bytes& i) { b.patch_u32(108, static_cast<std::uint32_t>(i.size() - 3)); }, {}},
      {"entry cut by the end of the image", one,
       [](B& b, const Bytes& i) {
         b.patch_u32(108, static_cast<std::uint32_t>(i.size() - 40)).patch_u32(i.size() - 40, 96);
       },
       {}},
      // A 32-bit sum would wrap around to offset 16 (the executable name).
      {"second path offset wrapping around", {system_volume(), kToolsVolume},
       [](B& b, const Bytes& i) { b.patch_u32(image_u32(i, 108) + 96, 16 - image_u32(i, 108)); }, {kSystemDirs}},
      {"device path running to the end", one,
       [&](B& b, const Bytes& i) { b.resize(first_volume(i, 0) + 2 * kSystemPath.size()); }, {{kSystem}}},
      {"leading zero words before a count", {system_volume(3), kToolsVolume}, [](B&, const Bytes&) {},
       {kSystemDirs, kToolsDirs}},
      {"zero words up to the end", {one_directory_missing(4)}, [](B&, const Bytes&) {}, {{kSystem}}},
      {"odd image ending at a directory count", {one_directory_missing(0)},
       [&](B& b, const Bytes& i) { b.resize(first_volume(i, 28) + 1); }, {{kSystem}}},
      {"directory name cut by the end", one, [&](B& b, const Bytes& i) { b.resize(first_volume(i, 28) + 18); },
       {{kSystem, "\\V\\A"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchImageBuilder builder = typical(30, c.volumes);
    c.damage(builder, builder.build());
    const auto entry = parse(builder.build());
    ASSERT_TRUE(entry);
    EXPECT_EQ(volumes_of(*entry), c.expected);
  }
}

PrefetchRecord decode(const std::vector<std::uint8_t>& image, bool check_hash = true) {
  PrefetchRecord record;
  const kerf::DecodeOptions options{.check_executable_hash = check_hash, .read_file_references = true};
  EXPECT_EQ(kerf::parse_prefetch_image(image, record, options), kerf::ParseResult::ok);
  return record;
}

TEST(HashCheck, FindsThePathThatGivesTheStoredHash) {
  struct Case {
    const char* what;
    std::uint32_t version;
    std::uint32_t selector;  // versions 30 and 31
    std::wstring exe;
    std::vector<std::wstring> files;
    std::wstring embedded;  // none when empty
    std::wstring hashed;    // the path the stored hash is made from; the last file when empty
    std::optional<std::uint32_t> volume;  // when verified: the volume number of `hashed`
    std::vector<std::wstring> directories = {};  // of one volume
  };
  const std::wstring calc = L"\\WINDOWS\\SYSTEM32\\CALC.EXE";
  const std::wstring tool = on_volume(4, L"\\T\\TOOL.EXE");
  const Case cases[] = {
      {"another case of the name", 26, 0, L"CALC.EXE", {on_volume(2, L"\\X\\Calc.exe")}, L"", L"", 2},
      {"a name that only holds the executable name", 26, 0, L"CALC.EXE",
       {on_volume(2, L"\\CALC.EXE.MUI"), on_volume(2, L"\\XCALC.EXE")}, L"", on_volume(2, L"\\CALC.EXE.MUI"), {}},
      {"an executable name no last component can be", 23, 0, L"X\\CALC.EXE", {on_volume(2, L"\\X\\CALC.EXE")}, L"", L"",
       {}},
      {"not the stored hash", 26, 0, L"CALC.EXE", {on_volume(2, calc)}, L"", on_volume(3, calc), {}},
      {"volume 1", 30, 304, L"CALC.EXE", {kGuid + calc}, L"", on_volume(1, calc), 1},
      {"volume 128", 30, 304, L"CALC.EXE", {kGuid + calc}, L"", on_volume(128, calc), 128},
      {"volume 129 is not searched", 30, 304, L"CALC.EXE", {kGuid + calc}, L"", on_volume(129, calc), {}},
      {"volume searched in version 17", 17, 0, L"CALC.EXE", {kGuid + calc}, L"", on_volume(40, calc), 40},
      {"a GUID-style name that proves nothing, then one that does", 30, 304, L"CALC.EXE",
       {kGuid + L"\\X\\CALC.EXE", kGuid + calc}, L"", on_volume(7, calc), 7},
      // A digit and a "\" where a volume number would stand.
      {"no volume number", 23, 0, L"X.EXE", {L"\\DEVICE\\MUP\\SERVER\\SHA7\\X.EXE"}, L"", L"", 0},
      {"no volume number after the digits", 23, 0, L"X.EXE", {on_volume(12, L"X\\X.EXE")}, L"", L"", 0},
      {"the largest volume number", 23, 0, L"X.EXE", {on_volume(4294967295u, L"\\X.EXE")}, L"", L"", 4294967295u},
      {"a volume number too large", 23, 0, L"X.EXE", {on_volume(4294967296u, L"\\X.EXE")}, L"", L"", 0},
      {"the volume itself", 31, 304, L"X.EXE", {}, on_volume(5, L""), on_volume(5, L""), 5},
      {"cut name that is the whole last component", 23, 0, kLongExe.substr(0, 29),
       {on_volume(3, L"\\" + kLongExe.substr(0, 29))}, L"", L"", 3},
      {"an empty executable name names no file", 23, 0, L"", {L"", L"\\X\\"}, L"", L"", {}},
      {"embedded path in version 31", 31, 304, L"TOOL.EXE", {kNtdll}, tool, tool, 4},
      {"embedded path in the later version 30 layout", 30, 296, L"TOOL.EXE", {kNtdll}, tool, tool, 4},
      {"no embedded path in the earlier version 30 layout", 30, 304, L"TOOL.EXE", {kNtdll}, tool, tool, {}},
      {"embedded path not the one, a loaded file is", 31, 296, L"TOOL.EXE", {kGuid + L"\\T\\TOOL.EXE"}, tool,
       on_volume(6, L"\\T\\TOOL.EXE"), 6},
      // Then each listed directory joined with the name: after the loaded
      // names, a GUID-style one as each volume number.
      {"a listed directory after a loaded name that is not it", 30, 304, L"CALC.EXE", {kGuid + L"\\X\\CALC.EXE"}, L"",
       on_volume(9, calc), 9, {kGuid + L"\\WINDOWS", kGuid + L"\\WINDOWS\\SYSTEM32"}},
      {"a listed root directory takes no second backslash", 23, 0, L"CALC.EXE", {}, L"", on_volume(2, L"\\CALC.EXE"), 2,
       {on_volume(2, L"\\")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring hashed = c.hashed.empty() ? c.files.back() : c.hashed;
    PrefetchImageBuilder builder(c.version);
    builder.layout_selector(c.selector).exe_name(c.exe).file_names(c.files).path_hash(hash_of(c.version, hashed));
    if (!c.embedded.empty()) builder.embedded_path(c.embedded);
    if (!c.directories.empty()) builder.add_volume({kGuid, 1, kT1, c.directories});
    const PrefetchRecord record = decode(builder.build());
    EXPECT_EQ(record.hash_check.verified, c.volume.has_value());
    EXPECT_EQ(record.hash_check.device_path, c.volume ? std::string(hashed.begin(), hashed.end()) : "");
    EXPECT_EQ(record.hash_check.volume_number, c.volume.value_or(0));
  }
  // Only asked for: the search costs up to 128 hashes a candidate.
  const std::wstring calc_path = on_volume(2, calc);
  const auto image = PrefetchImageBuilder(23).exe_name(L"CALC.EXE").file_names({calc_path}).path_hash(hash_of(23, calc_path));
  EXPECT_FALSE(decode(image.build(), false).hash_check.verified);
}

TEST(FileReferences, EachMetricsEntryNamesItsFileByOffset) {
  using References = std::vector<std::optional<kerf::FileReference>>;
  using Damage = std::function<void(PrefetchImageBuilder&, const Bytes&)>;
  const kerf::FileReference a{0x5751, 1};
  const kerf::FileReference c{0x80000000C869, 0xFFFF};
  const kerf::FileReference d{0x777, 2};
  // Entry `entry` points at the name entry `name` points at as built. The
  // metrics array starts where the field at 84 says.
  const auto point = [](std::size_t entry, std::size_t name) {
    return [=](PrefetchImageBuilder& b, const Bytes& i) {
      b.patch_u32(image_u32(i, 84) + 32 * entry + 12, image_u32(i, image_u32(i, 84) + 32 * name + 12));
    };
  };
  const Damage as_built = [](PrefetchImageBuilder&, const Bytes&) {};
  struct Case {
    const char* what;
    std::uint32_t version;
    Damage damage;
    References expected;
  };
  const Case cases[] = {
      {"in file order", 30, as_built, {a, std::nullopt, c, d}},
      {"version 23", 23, as_built, {a, std::nullopt, c, d}},
      {"entries in reverse order", 26,
       [&](PrefetchImageBuilder& b, const Bytes& i) {
         point(0, 2)(b, i);
         point(2, 0)(b, i);
       },
       {c, std::nullopt, a, d}},
      {"an entry pointing into a name", 30,
       [](PrefetchImageBuilder& b, const Bytes& i) { b.patch_u32(image_u32(i, 84) + 12, 2); },
       {std::nullopt, std::nullopt, c, d}},
      {"two entries for one name: the first counts", 30, point(2, 0), {a, std::nullopt, std::nullopt, d}},
      // The last entry names a listed file, but lies past the header's count.
      {"an entry past the count", 30,
       [&](PrefetchImageBuilder& b, const Bytes& i) {
         point(3, 1)(b, i);
         b.patch_u32(88, 3);
       },
       {a, std::nullopt, c}},
      {"array cut by the end of the image", 23,
       [](PrefetchImageBuilder& b, const Bytes& i) { b.patch_u32(84, static_cast<std::uint32_t>(i.size() - 20)); },
       References(4)},
      {"array offset far out", 23, [](PrefetchImageBuilder& b, const Bytes&) { b.patch_u32(84, 0xFFFFFFF0); },
       References(4)},
      {"version 17 keeps none", 17,
       [](PrefetchImageBuilder& b, const Bytes& i) { b.patch_u64(image_u32(i, 84) + 24, 0x0001000000005751); },
       References(4)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    PrefetchImageBuilder builder(k.version);
    builder.exe_name(L"CCC.EXE")
        .file_names({L"\\V\\A.DLL", L"\\V\\BB.DLL", L"\\V\\CCC.EXE", L"\\V\\D.DLL"})
        .file_references({0x0001000000005751, 0, 0xFFFF'8000'0000'C869, 0x0002000000000777});
    k.damage(builder, builder.build());
    const PrefetchRecord record = decode(builder.build(), false);
    ASSERT_EQ(record.file_references.size(), k.expected.size());
    for (std::size_t i = 0; i < k.expected.size(); ++i) {
      SCOPED_TRACE(i);
      ASSERT_EQ(record.file_references[i].has_value(), k.expected[i].has_value());
      if (!k.expected[i]) continue;
      EXPECT_EQ(record.file_references[i]->mft_entry, k.expected[i]->mft_entry);
      EXPECT_EQ(record.file_references[i]->sequence, k.expected[i]->sequence);
    }
  }
}

// Against an entry created 0x01d1217a9c4c6779 with serial 0x8c9f49ec.
TEST(VolumeNames, AGuidStyleNameIsReadAgainstItsEntry) {
  const std::pair<std::wstring, std::optional<bool>> cases[] = {
      {kGuid, true},
      {L"\\VOLUME{01D1217A9C4C6779-8C9F49EC}", true},
      {L"\\VOLUME{01d1217a9c4c677a-8c9f49ec}", false},
      {L"\\VOLUME{01d1217a9c4c6779-0c9f49ec}", false},
      {L"\\DEVICE\\HARDDISKVOLUME1", std::nullopt},
      {kGuid + L"\\", std::nullopt},
      {L"\\VOLUME{01d1217a9c4c6779+8c9f49ec}", std::nullopt},
      {L"\\VOLUMX{01d1217a9c4c6779-8c9f49ec}", std::nullopt},
      {L"\\VOLUME{01d1217a9c4c677g-8c9f49ec}", std::nullopt},
      {L"\\VOLUME{01d1217a9c4c6779-8c9f49ec)", std::nullopt},
  };
  for (const auto& [device_path, matches] : cases) {
    SCOPED_TRACE(std::string(device_path.begin(), device_path.end()));
    const PrefetchRecord record =
        decode(PrefetchImageBuilder(30).add_volume({device_path, 0x8c9f49ec, 0x01d1217a9c4c6779}).build());
    ASSERT_EQ(record.volumes.size(), 1u);
    EXPECT_EQ(record.volumes[0].name_matches, matches);
  }
}

}  // namespace
