// What a decoded image says about the executable and its files: the path
// that proves the stored hash (with the volume-number search, the path the
// header points to, cut names), the NTFS file references of the loaded
// files, and whether a volume's GUID-style name agrees with its entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "prefetch/parser.h"
#include "prefetch/path_hash.h"
#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::PrefetchRecord;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::VolumeSpec;

std::uint32_t hash_of(std::uint32_t version, const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t unit : path) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return kerf::path_hash(version, bytes);
}

PrefetchRecord decode(const std::vector<std::uint8_t>& image, bool check_hash = true) {
  PrefetchRecord record;
  const kerf::DecodeOptions options{.check_executable_hash = check_hash, .read_file_references = true};
  EXPECT_EQ(kerf::parse_prefetch_image(image, record, options), kerf::ParseResult::ok);
  return record;
}

const std::wstring kGuid = L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
const std::wstring kNtdll = L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\NTDLL.DLL";
const std::wstring kCalc = L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE";
const std::string kCalcText = "\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE";
const std::wstring kLongExe = L"DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE";

std::wstring on_volume(std::uint64_t number, const std::wstring& rest) {
  return L"\\DEVICE\\HARDDISKVOLUME" + std::to_wstring(number) + rest;
}

TEST(HashCheck, FindsThePathThatGivesTheStoredHash) {
  struct Case {
    const char* what;
    std::uint32_t version;
    std::uint32_t selector;  // versions 30 and 31
    std::wstring exe;
    std::vector<std::wstring> files;
    std::optional<std::wstring> embedded;
    std::wstring hashed;  // the path the stored hash is made from
    std::string device_path;  // empty: unverified
    std::uint32_t volume;
  };
  const std::wstring system32 = L"\\WINDOWS\\SYSTEM32\\CALC.EXE";
  const Case cases[] = {
      {"device path", 23, 0, L"CALC.EXE", {kNtdll, kCalc}, {}, kCalc, kCalcText, 2},
      {"version 17", 17, 0, L"CALC.EXE", {kNtdll, kCalc}, {}, kCalc, kCalcText, 2},
      {"another case of the name", 26, 0, L"CALC.EXE", {L"\\DEVICE\\HARDDISKVOLUME2\\X\\Calc.exe"}, {},
       L"\\DEVICE\\HARDDISKVOLUME2\\X\\Calc.exe", "\\DEVICE\\HARDDISKVOLUME2\\X\\Calc.exe", 2},
      {"a name that only holds the executable name", 26, 0, L"CALC.EXE",
       {L"\\DEVICE\\HARDDISKVOLUME2\\CALC.EXE.MUI", L"\\DEVICE\\HARDDISKVOLUME2\\XCALC.EXE"}, {},
       L"\\DEVICE\\HARDDISKVOLUME2\\CALC.EXE.MUI", "", 0},
      {"an executable name no last component can be", 23, 0, L"X\\CALC.EXE", {L"\\DEVICE\\HARDDISKVOLUME2\\X\\CALC.EXE"},
       {}, L"\\DEVICE\\HARDDISKVOLUME2\\X\\CALC.EXE", "", 0},
      {"not the stored hash", 26, 0, L"CALC.EXE", {kCalc}, {}, on_volume(3, system32), "", 0},
      {"volume searched", 30, 304, L"CALC.EXE", {kGuid + L"\\WINDOWS\\SYSTEM32\\NTDLL.DLL", kGuid + system32}, {},
       on_volume(8, system32), "\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CALC.EXE", 8},
      {"volume 1", 30, 304, L"CALC.EXE", {kGuid + system32}, {}, on_volume(1, system32),
       "\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CALC.EXE", 1},
      {"volume 128", 30, 304, L"CALC.EXE", {kGuid + system32}, {}, on_volume(128, system32),
       "\\DEVICE\\HARDDISKVOLUME128\\WINDOWS\\SYSTEM32\\CALC.EXE", 128},
      {"volume 129 is not searched", 30, 304, L"CALC.EXE", {kGuid + system32}, {}, on_volume(129, system32), "", 0},
      {"volume searched in version 17", 17, 0, L"CALC.EXE", {kGuid + system32}, {}, on_volume(40, system32),
       "\\DEVICE\\HARDDISKVOLUME40\\WINDOWS\\SYSTEM32\\CALC.EXE", 40},
      {"volume 100", 30, 304, L"CALC.EXE", {kGuid + system32}, {}, on_volume(100, system32),
       "\\DEVICE\\HARDDISKVOLUME100\\WINDOWS\\SYSTEM32\\CALC.EXE", 100},
      {"volume 10 as stored", 23, 0, L"X.EXE", {on_volume(10, L"\\X.EXE")}, {}, on_volume(10, L"\\X.EXE"),
       "\\DEVICE\\HARDDISKVOLUME10\\X.EXE", 10},
      // A digit and a "\" where a volume number would stand.
      {"no volume number", 23, 0, L"X.EXE", {L"\\DEVICE\\MUP\\SERVER\\SHA7\\X.EXE"}, {},
       L"\\DEVICE\\MUP\\SERVER\\SHA7\\X.EXE", "\\DEVICE\\MUP\\SERVER\\SHA7\\X.EXE", 0},
      {"no volume number after the digits", 23, 0, L"X.EXE", {on_volume(12, L"X\\X.EXE")}, {},
       on_volume(12, L"X\\X.EXE"), "\\DEVICE\\HARDDISKVOLUME12X\\X.EXE", 0},
      {"the largest volume number", 23, 0, L"X.EXE", {on_volume(4294967295u, L"\\X.EXE")}, {},
       on_volume(4294967295u, L"\\X.EXE"), "\\DEVICE\\HARDDISKVOLUME4294967295\\X.EXE", 4294967295u},
      {"a volume number too large", 23, 0, L"X.EXE", {L"\\DEVICE\\HARDDISKVOLUME4294967296\\X.EXE"}, {},
       L"\\DEVICE\\HARDDISKVOLUME4294967296\\X.EXE", "\\DEVICE\\HARDDISKVOLUME4294967296\\X.EXE", 0},
      {"the volume itself", 31, 304, L"X.EXE", {}, on_volume(5, L""), on_volume(5, L""), "\\DEVICE\\HARDDISKVOLUME5", 5},
      {"cut 29-unit name", 23, 0, kLongExe.substr(0, 29), {on_volume(3, L"\\" + kLongExe)}, {},
       on_volume(3, L"\\" + kLongExe), "\\DEVICE\\HARDDISKVOLUME3\\DCODEDCODEDCODEDCODEDCODEDCODEDCODE.EXE", 3},
      {"cut name that is the whole last component", 23, 0, kLongExe.substr(0, 29),
       {on_volume(3, L"\\" + kLongExe.substr(0, 29))}, {}, on_volume(3, L"\\" + kLongExe.substr(0, 29)),
       "\\DEVICE\\HARDDISKVOLUME3\\DCODEDCODEDCODEDCODEDCODEDCOD", 3},
      {"an empty path proves nothing", 23, 0, L"", {L"", L"\\X\\"}, {}, L"\\X\\", "\\X\\", 0},
      {"28 units are the whole name", 23, 0, kLongExe.substr(0, 28), {on_volume(3, L"\\" + kLongExe)}, {},
       on_volume(3, L"\\" + kLongExe), "", 0},
      {"embedded path in version 31", 31, 304, L"TOOL.EXE", {kNtdll}, on_volume(4, L"\\T\\TOOL.EXE"),
       on_volume(4, L"\\T\\TOOL.EXE"), "\\DEVICE\\HARDDISKVOLUME4\\T\\TOOL.EXE", 4},
      {"embedded path in the later version 30 layout", 30, 296, L"TOOL.EXE", {kNtdll},
       on_volume(4, L"\\T\\TOOL.EXE"), on_volume(4, L"\\T\\TOOL.EXE"), "\\DEVICE\\HARDDISKVOLUME4\\T\\TOOL.EXE", 4},
      {"no embedded path in the earlier version 30 layout", 30, 304, L"TOOL.EXE", {kNtdll},
       on_volume(4, L"\\T\\TOOL.EXE"), on_volume(4, L"\\T\\TOOL.EXE"), "", 0},
      {"embedded path not the one, a loaded file is", 31, 296, L"TOOL.EXE", {kGuid + L"\\T\\TOOL.EXE"},
       on_volume(4, L"\\T\\TOOL.EXE"), on_volume(6, L"\\T\\TOOL.EXE"), "\\DEVICE\\HARDDISKVOLUME6\\T\\TOOL.EXE", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchImageBuilder builder(c.version);
    builder.layout_selector(c.selector).exe_name(c.exe).file_names(c.files).path_hash(hash_of(c.version, c.hashed));
    if (c.embedded) builder.embedded_path(*c.embedded);
    const PrefetchRecord record = decode(builder.build());
    EXPECT_EQ(record.stored_hash, hash_of(c.version, c.hashed));
    EXPECT_EQ(record.hash_check.verified, !c.device_path.empty());
    EXPECT_EQ(record.hash_check.device_path, c.device_path);
    EXPECT_EQ(record.hash_check.volume_number, c.volume);
  }
  // Only asked for: the search costs up to 128 hashes a candidate.
  const auto image = PrefetchImageBuilder(23).exe_name(L"CALC.EXE").file_names({kCalc}).path_hash(hash_of(23, kCalc));
  EXPECT_FALSE(decode(image.build(), false).hash_check.verified);
}

// The header gives the embedded path's offset (212) and size in bytes (216);
// the path ends at its size or at its first zero unit, and counts only when
// it lies wholly inside the image. It is the last thing the builder writes.
TEST(HashCheck, EmbeddedPathOnlyInsideTheImage) {
  const std::wstring path = on_volume(4, L"\\T\\TOOL.EXE");
  const std::string text = "\\DEVICE\\HARDDISKVOLUME4\\T\\TOOL.EXE";
  const auto bytes = static_cast<std::uint32_t>(2 * path.size());
  struct Case {
    const char* what;
    std::uint32_t size;
    std::string embedded;
  };
  const Case cases[] = {
      {"the path", bytes, text},
      {"with its zero unit", bytes + 2, text},
      {"two units short", bytes - 4, text.substr(0, text.size() - 2)},
      {"two bytes past the end", bytes + 4, ""},
      {"far past the end", 0xFFFFFFF0, ""},
      {"empty", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchImageBuilder builder(31);
    builder.exe_name(L"TOOL.EXE").file_names({kNtdll}).embedded_path(path).path_hash(hash_of(31, path));
    builder.patch_u32(216, c.size);
    const PrefetchRecord record = decode(builder.build());
    EXPECT_EQ(record.embedded_path, c.embedded);
    EXPECT_EQ(record.hash_check.verified, c.embedded == text);
  }
  PrefetchImageBuilder past(31);
  past.exe_name(L"TOOL.EXE").file_names({kNtdll}).embedded_path(path).path_hash(hash_of(31, path));
  past.patch_u32(212, static_cast<std::uint32_t>(past.layout().length));
  EXPECT_EQ(decode(past.build()).embedded_path, "");
}

using References = std::vector<std::optional<kerf::FileReference>>;

void expect_references(const PrefetchRecord& record, const References& expected) {
  ASSERT_EQ(record.file_references.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(record.file_references[i].has_value(), expected[i].has_value());
    if (!expected[i]) continue;
    EXPECT_EQ(record.file_references[i]->mft_entry, expected[i]->mft_entry);
    EXPECT_EQ(record.file_references[i]->sequence, expected[i]->sequence);
  }
}

TEST(FileReferences, EachMetricsEntryNamesItsFileByOffset) {
  const std::vector<std::wstring> names{L"\\V\\A.DLL", L"\\V\\BB.DLL", L"\\V\\CCC.EXE"};
  const std::vector<std::uint64_t> references{0x0001000000005751, 0, 0xFFFF'8000'0000'C869};
  const References in_order{kerf::FileReference{0x5751, 1}, std::nullopt, kerf::FileReference{0x80000000C869, 0xFFFF}};
  const References none(3);
  using Damage = std::function<void(PrefetchImageBuilder&, const kerf::testing::PrefetchImageLayout&)>;
  struct Case {
    const char* what;
    std::uint32_t version;
    Damage damage;
    References expected;
  };
  // Entry `entry` points at name `name`.
  const auto point = [](std::size_t entry, std::size_t name) {
    return [=](PrefetchImageBuilder& b, const kerf::testing::PrefetchImageLayout& l) {
      b.patch_u32(l.metrics_offset + 32 * entry + 12,
                  static_cast<std::uint32_t>(l.file_name_offsets[name] - l.file_names_offset));
    };
  };
  const Case cases[] = {
      {"in file order", 30, [](auto&, const auto&) {}, in_order},
      {"version 23", 23, [](auto&, const auto&) {}, in_order},
      {"entries in reverse order", 26,
       [&](PrefetchImageBuilder& b, const auto& l) {
         point(0, 2)(b, l);
         point(2, 0)(b, l);
       },
       {in_order[2], std::nullopt, in_order[0]}},
      {"an entry pointing into a name", 30,
       [](PrefetchImageBuilder& b, const auto& l) { b.patch_u32(l.metrics_offset + 12, 2); },
       {std::nullopt, std::nullopt, in_order[2]}},
      {"two entries for one name: the first counts", 30, point(2, 0), {in_order[0], std::nullopt, std::nullopt}},
      {"array cut by the end of the image", 23,
       [](PrefetchImageBuilder& b, const auto& l) { b.patch_u32(84, static_cast<std::uint32_t>(l.length - 20)); },
       none},
      {"array offset far out", 23, [](PrefetchImageBuilder& b, const auto&) { b.patch_u32(84, 0xFFFFFFF0); }, none},
      {"version 17 keeps none", 17,
       [](PrefetchImageBuilder& b, const auto& l) { b.patch_u64(l.metrics_offset + 24, 0x0001000000005751); }, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrefetchImageBuilder builder(c.version);
    builder.exe_name(L"CCC.EXE").file_names(names).file_references(references);
    c.damage(builder, builder.layout());
    expect_references(decode(builder.build(), false), c.expected);
  }
  // An entry past the header's count is not read, though it names a listed file.
  PrefetchImageBuilder builder(30);
  std::vector<std::uint64_t> four = references;
  four.push_back(0x0002000000000777);
  builder.exe_name(L"CCC.EXE").file_names({names[0], names[1], names[2], L"\\V\\D.DLL"}).file_references(four);
  point(3, 1)(builder, builder.layout());
  builder.patch_u32(88, 3);
  expect_references(decode(builder.build(), false), in_order);
}

TEST(VolumeNames, AGuidStyleNameIsReadAgainstItsEntry) {
  constexpr std::uint64_t kCreated = 0x01d1217a9c4c6779;
  constexpr std::uint32_t kSerial = 0x8c9f49ec;
  struct Case {
    std::wstring device_path;
    std::uint64_t created;
    std::uint32_t serial;
    std::optional<bool> matches;
  };
  const Case cases[] = {
      {kGuid, kCreated, kSerial, true},
      {L"\\VOLUME{01D1217A9C4C6779-8C9F49EC}", kCreated, kSerial, true},
      {kGuid, kCreated + 1, kSerial, false},
      {kGuid, kCreated, kSerial ^ 0x80000000, false},
      {L"\\DEVICE\\HARDDISKVOLUME1", kCreated, kSerial, std::nullopt},
      {kGuid + L"\\", kCreated, kSerial, std::nullopt},
      {L"\\VOLUME{01d1217a9c4c6779+8c9f49ec}", kCreated, kSerial, std::nullopt},
      {L"\\VOLUMX{01d1217a9c4c6779-8c9f49ec}", kCreated, kSerial, std::nullopt},
      {L"\\VOLUME{01d1217a9c4c677g-8c9f49ec}", kCreated, kSerial, std::nullopt},
      {L"\\VOLUME{01d1217a9c4c6779-8c9f49ec)", kCreated, kSerial, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device_path.begin(), c.device_path.end()));
    const VolumeSpec volume(c.device_path, c.serial, c.created);
    const PrefetchRecord record = decode(PrefetchImageBuilder(30).exe_name(L"X.EXE").add_volume(volume).build());
    ASSERT_EQ(record.volumes.size(), 1u);
    EXPECT_EQ(record.volumes[0].name_matches, c.matches);
  }
}

}  // namespace
