// What a decoded image says about the executable and its files: the path
// that proves the stored hash (with the volume-number search, the path the
// header points to, cut names), the NTFS file references of the loaded
// files, and whether a volume's GUID-style name agrees with its entry. The
// real files of the corpus test prove the hash of ordinary paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "prefetch/parser.h"
#include "prefetch/path_hash.h"
#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::PrefetchRecord;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::image_u32;
using Bytes = std::vector<std::uint8_t>;

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
    std::wstring embedded;  // none when empty
    std::wstring hashed;    // the path the stored hash is made from; the last file when empty
    std::optional<std::uint32_t> volume;  // when verified: the volume number of `hashed`
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
      // A digit and a "\" where a volume number would stand.
      {"no volume number", 23, 0, L"X.EXE", {L"\\DEVICE\\MUP\\SERVER\\SHA7\\X.EXE"}, L"", L"", 0},
      {"no volume number after the digits", 23, 0, L"X.EXE", {on_volume(12, L"X\\X.EXE")}, L"", L"", 0},
      {"the largest volume number", 23, 0, L"X.EXE", {on_volume(4294967295u, L"\\X.EXE")}, L"", L"", 4294967295u},
      {"a volume number too large", 23, 0, L"X.EXE", {on_volume(4294967296u, L"\\X.EXE")}, L"", L"", 0},
      {"the volume itself", 31, 304, L"X.EXE", {}, on_volume(5, L""), on_volume(5, L""), 5},
      {"cut name that is the whole last component", 23, 0, kLongExe.substr(0, 29),
       {on_volume(3, L"\\" + kLongExe.substr(0, 29))}, L"", L"", 3},
      {"an empty path proves nothing", 23, 0, L"", {L"", L"\\X\\"}, L"", L"", 0},
      {"embedded path in version 31", 31, 304, L"TOOL.EXE", {kNtdll}, tool, tool, 4},
      {"embedded path in the later version 30 layout", 30, 296, L"TOOL.EXE", {kNtdll}, tool, tool, 4},
      {"no embedded path in the earlier version 30 layout", 30, 304, L"TOOL.EXE", {kNtdll}, tool, tool, {}},
      {"embedded path not the one, a loaded file is", 31, 296, L"TOOL.EXE", {kGuid + L"\\T\\TOOL.EXE"}, tool,
       on_volume(6, L"\\T\\TOOL.EXE"), 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring hashed = c.hashed.empty() ? c.files.back() : c.hashed;
    PrefetchImageBuilder builder(c.version);
    builder.layout_selector(c.selector).exe_name(c.exe).file_names(c.files).path_hash(hash_of(c.version, hashed));
    if (!c.embedded.empty()) builder.embedded_path(c.embedded);
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
