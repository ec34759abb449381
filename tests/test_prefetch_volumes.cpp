// The volume block of Prefetch images: entries, device paths, directory
// names, and the damaged shapes that must end a list instead of reading
// past the image.
#include "prefetch/prefetch_parser.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::PrefetchEntry;
using kerf::testing::PrefetchImageBuilder;
using kerf::testing::PrefetchImageLayout;
using kerf::testing::VolumeSpec;
using Dirs = std::map<std::uint64_t, std::string>;

constexpr std::uint64_t kCreated1 = 130922674662434681;
constexpr std::uint64_t kCreated2 = 130922646062049644;

VolumeSpec system_volume() {
  return VolumeSpec(L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}", 0x8C9F49EC, kCreated1, {L"\\V\\A", L"\\V\\BB"}, 52);
}

VolumeSpec tools_volume() {
  return VolumeSpec(L"\\DEVICE\\HARDDISKVOLUME3", 0xE892367F, kCreated2, {L"\\DEVICE\\HARDDISKVOLUME3\\T\u00D6\u00D6LS"});
}

const std::string kSystem = "\\VOLUME{01d1217a9c4c6779-8c9f49ec}";
const std::string kTools = "\\DEVICE\\HARDDISKVOLUME3";
const Dirs kSystemDirs{{1, "\\V\\A"}, {2, "\\V\\BB"}};
const Dirs kToolsDirs{{1, "\\DEVICE\\HARDDISKVOLUME3\\T\xC3\x96\xC3\x96LS"}};

PrefetchImageBuilder with_volumes(std::uint32_t version, std::vector<VolumeSpec> volumes) {
  PrefetchImageBuilder builder(version);
  builder.exe_name(L"CMD.EXE").file_names({L"\\V\\CMD.EXE"});
  for (VolumeSpec& volume : volumes) builder.add_volume(std::move(volume));
  return builder;
}

void expect_parallel_volume_lists(const PrefetchEntry& entry) {
  EXPECT_EQ(entry.volume_create_times.size(), entry.volume_paths.size());
  EXPECT_EQ(entry.volume_serials.size(), entry.volume_paths.size());
  EXPECT_EQ(entry.volume_dirs.size(), entry.volume_paths.size());
}

TEST(Volumes, EveryVersionUsesItsOwnEntrySize) {
  for (const std::uint32_t version : {17u, 23u, 26u, 30u, 31u, 99u}) {
    SCOPED_TRACE(version);
    PrefetchEntry entry;
    ASSERT_TRUE(kerf::parse_prefetch_image(with_volumes(version, {system_volume(), tools_volume()}).build(), entry));
    EXPECT_EQ(entry.volume_paths, (std::vector<std::string>{kSystem, kTools}));
    EXPECT_EQ(entry.volume_serials, (std::vector<std::uint32_t>{0x8C9F49EC, 0xE892367F}));
    EXPECT_EQ(entry.volume_create_times, (std::vector<std::uint64_t>{kCreated1, kCreated2}));
    ASSERT_EQ(entry.volume_dirs.size(), 2u);
    EXPECT_EQ(entry.volume_dirs[0], kSystemDirs);
    EXPECT_EQ(entry.volume_dirs[1], kToolsDirs);
  }
}

TEST(Volumes, NoVolumesGivesFourEmptyLists) {
  PrefetchEntry entry;
  ASSERT_TRUE(kerf::parse_prefetch_image(with_volumes(30, {}).build(), entry));
  EXPECT_TRUE(entry.volume_paths.empty());
  EXPECT_TRUE(entry.volume_create_times.empty());
  EXPECT_TRUE(entry.volume_serials.empty());
  EXPECT_TRUE(entry.volume_dirs.empty());
}

// One damaged shape of the volume block: how to damage a built image, and
// what is left of it.
struct Damage {
  const char* what;
  std::vector<VolumeSpec> volumes;
  std::function<void(PrefetchImageBuilder&, const PrefetchImageLayout&)> damage;
  std::vector<std::string> paths;
  std::vector<Dirs> dirs;
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.what; }

class DamagedVolumes : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedVolumes, EndTheListWithoutReadingPastTheImage) {
  const Damage& c = GetParam();
  PrefetchImageBuilder builder = with_volumes(30, c.volumes);
  c.damage(builder, builder.layout());
  PrefetchEntry entry;
  ASSERT_TRUE(kerf::parse_prefetch_image(builder.build(), entry));
  EXPECT_EQ(entry.volume_paths, c.paths);
  EXPECT_EQ(entry.volume_dirs, c.dirs);
  expect_parallel_volume_lists(entry);
}

// Offsets inside the system volume's directory names: count of "\V\A" at
// +0, its units at +2; count of "\V\BB" at +12, its units at +14.
constexpr std::uint64_t kSecondCount = 12;

VolumeSpec no_directories_but_one_counted(std::uint32_t zero_words) {
  VolumeSpec volume = system_volume();
  volume.directories.clear();
  volume.directory_count = 1;
  volume.leading_zero_words = zero_words;
  return volume;
}

VolumeSpec with_leading_zero_words(std::uint32_t zero_words) {
  VolumeSpec volume = system_volume();
  volume.leading_zero_words = zero_words;
  return volume;
}

using B = PrefetchImageBuilder;
using L = PrefetchImageLayout;

const Damage kDamages[] = {
    {"first path offset below one entry", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes_offset, 95); }, {}, {}},
    {"first path offset with the top bit set", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes_offset, 0x80000060); }, {}, {}},
    {"three bytes at the volume offset", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(108, static_cast<std::uint32_t>(l.length - 3)); }, {}, {}},
    {"entry cut by the end of the image", {system_volume()},
     [](B& b, const L& l) {
       b.patch_u32(108, static_cast<std::uint32_t>(l.length - 40)).patch_u32(l.length - 40, 96);
     }, {}, {}},
    {"second path offset 0", {system_volume(), tools_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes[1].entry_offset, 0); }, {kSystem}, {kSystemDirs}},
    {"second path offset past the end", {system_volume(), tools_volume()},
     [](B& b, const L& l) {
       b.patch_u32(l.volumes[1].entry_offset, static_cast<std::uint32_t>(l.length - l.volumes_offset + 1));
     }, {kSystem}, {kSystemDirs}},
    // A 32-bit sum would wrap around to offset 16 (the executable name).
    {"second path offset wrapping around", {system_volume(), tools_volume()},
     [](B& b, const L& l) {
       b.patch_u32(l.volumes[1].entry_offset, static_cast<std::uint32_t>((1ull << 32) - l.volumes_offset + 16));
     }, {kSystem}, {kSystemDirs}},
    {"second path offset at the very end", {system_volume(), tools_volume()},
     [](B& b, const L& l) {
       b.patch_u32(l.volumes[1].entry_offset, static_cast<std::uint32_t>(l.length - l.volumes_offset));
     }, {kSystem, ""}, {kSystemDirs, {}}},
    {"device path running to the end", {system_volume()},
     [](B& b, const L& l) { b.resize(l.volumes[0].path_offset + 2 * kSystem.size()); }, {kSystem}, {{}}},
    {"device path running to an odd end", {system_volume()},
     [](B& b, const L& l) { b.resize(l.volumes[0].path_offset + 2 * kSystem.size() + 1); }, {kSystem}, {{}}},
    {"device path cut inside a unit", {system_volume()},
     [](B& b, const L& l) { b.resize(l.volumes[0].path_offset + 5); }, {"\\V"}, {{}}},
    {"directory count below the names", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes[0].entry_offset + 32, 1); }, {kSystem}, {{{1, "\\V\\A"}}}},
    {"directory count above the names", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes[0].entry_offset + 32, 0xFFFFFFFF); }, {kSystem}, {kSystemDirs}},
    {"directory count 0", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes[0].entry_offset + 32, 0); }, {kSystem}, {{}}},
    {"leading zero words before a count", {with_leading_zero_words(3), tools_volume()},
     [](B&, const L&) {}, {kSystem, kTools}, {kSystemDirs, kToolsDirs}},
    {"zero words up to the end", {no_directories_but_one_counted(4)},
     [](B&, const L&) {}, {kSystem}, {{}}},
    {"zero word cut by the end", {no_directories_but_one_counted(2)},
     [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + 3); }, {kSystem}, {{}}},
    {"count needs two bytes (odd image, one byte left)", {no_directories_but_one_counted(0)},
     [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + 1); }, {kSystem}, {{}}},
    {"directory name cut by the end", {system_volume()},
     [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + kSecondCount + 2 + 4); }, {kSystem},
     {{{1, "\\V\\A"}}}},
    {"directory name ending exactly at the end", {system_volume()},
     [](B& b, const L& l) { b.resize(l.volumes[0].directories_offset + kSecondCount + 2 + 10); }, {kSystem},
     {kSystemDirs}},
    {"directory count word beyond the image", {system_volume()},
     [](B& b, const L& l) { b.patch_u16(l.volumes[0].directories_offset + kSecondCount, 0x7FFF); }, {kSystem},
     {{{1, "\\V\\A"}}}},
    {"gap reaching past the end", {system_volume()},
     [](B& b, const L& l) { b.patch_u32(l.volumes[0].entry_offset + 24, 0xFFFFFFFF); }, {kSystem}, {{}}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, DamagedVolumes, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

}  // namespace
