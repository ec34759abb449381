// Prefetch files read from volumes of a disk image: the loader matches the
// file's volumes to the image's by serial number and looks up what became
// of each loaded file by its file reference, and every layout shows what
// the image tells (a deleted file, its $FILE_NAME times, the fates of its
// loaded files). The image is played by a fake source and a fake lookup.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "driver/run/run_loop.h"
#include "prefetch/loader.h"
#include "report/renderer.h"
#include "sources/input_source.h"
#include "testkit/layout_options.h"
#include "testkit/prefetch_image_builder.h"
#include "tests/support/run_kerf.h"

namespace {

using kerf::MftLookup;
using kerf::MftState;

constexpr std::uint64_t kSystemVolume = 1048576;
constexpr std::uint64_t kDataVolume = 5242880;

// The image's volumes by serial, and the state of MFT entries on them.
class FakeVolumes : public kerf::VolumeLookup {
 public:
  std::optional<std::uint64_t> volume_with_serial(std::uint32_t serial) const override {
    if (serial == 0x8C9F49EC) return kSystemVolume;
    if (serial == 0x11112222) return kDataVolume;
    return std::nullopt;
  }
  MftLookup look_up(std::uint64_t volume, std::uint64_t entry, std::uint16_t sequence) const override {
    const auto found = m_entries.find({volume, entry, sequence});
    return found == m_entries.end() ? MftLookup{} : found->second;
  }

 private:
  std::map<std::tuple<std::uint64_t, std::uint64_t, std::uint16_t>, MftLookup> m_entries{
      {{kSystemVolume, 0x10, 1}, {MftState::in_use, "\\Windows\\System32\\ntdll.dll"}},
      {{kSystemVolume, 0x20, 3}, {MftState::deleted, ""}},
      {{kDataVolume, 0x30, 2}, {MftState::reused, ""}},
      {{kDataVolume, 0x40, 1}, {MftState::in_use, "\\Archive\\MOVED.DLL"}},
      // Reached only by a file put on the wrong volume.
      {{kDataVolume, 0x60, 1}, {MftState::in_use, "\\WRONG.DLL"}},
  };
};

// A Prefetch file as a disk image's volume serves it.
class FakeImageFile : public kerf::InputSource {
 public:
  FakeImageFile(std::vector<std::uint8_t> bytes, kerf::SourceFile facts, const kerf::VolumeLookup* volumes)
      : m_bytes(std::move(bytes)), m_facts(facts), m_volumes(volumes) {}
  std::string_view name() const noexcept override { return "disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf"; }
  kerf::SourceStatus open(bool) override { return {}; }
  const kerf::SourceFile& facts() const noexcept override { return m_facts; }
  kerf::SourceStatus read(std::vector<std::uint8_t>& out, std::uint64_t) override {
    out = m_bytes;
    return {};
  }
  const kerf::VolumeLookup* volumes() const noexcept override { return m_volumes; }

 private:
  std::vector<std::uint8_t> m_bytes;
  kerf::SourceFile m_facts;
  const kerf::VolumeLookup* m_volumes;
};

// Ran twice; loaded files on a GUID-named volume (one spelled in lower
// case), on a \DEVICE\HARDDISKVOLUMEn volume, on a volume the image does not
// hold, one without a reference, and one whose volume name only begins
// like a listed volume's.
std::vector<std::uint8_t> image_prefetch_file() {
  return kerf::testing::PrefetchImageBuilder(30)
      .exe_name(L"RUN.EXE")
      .path_hash(0x4A81B364)
      .run_times({132593262651234567ull, 132590592005000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\volume{01D1217A9C4C6779-8C9F49EC}\\TOOLS\\OLD.DLL", L"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE",
                   L"\\DEVICE\\HARDDISKVOLUME2\\APP\\MOVED.DLL", L"\\DEVICE\\HARDDISKVOLUME3\\X.DLL",
                   L"\\DEVICE\\HARDDISKVOLUME2\\NOREF.DLL", L"\\DEVICE\\HARDDISKVOLUME20\\Y.DLL"})
      .file_references({0x0001000000000010, 0x0003000000000020, 0x0002000000000030, 0x0001000000000040,
                        0x0001000000000050, 0, 0x0001000000000060})
      .add_volume({L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}", 0x8C9F49EC, 130922674662434681ull, {L"\\WINDOWS"}})
      .add_volume({L"\\DEVICE\\HARDDISKVOLUME2", 0x11112222, 132064560000000000ull})
      .add_volume({L"\\DEVICE\\HARDDISKVOLUME3", 0x33334444, 132064560000000000ull})
      .build();
}

// Deleted, with $STANDARD_INFORMATION times to the 100 ns and other
// $FILE_NAME times.
kerf::SourceFile deleted_in_volume() {
  kerf::SourceFile facts;
  facts.size = 1234;
  facts.modified = 132593262651234567ull;  // 2021-03-04 10:11:05.1234567
  facts.accessed = 132593262659999999ull;
  facts.changed = 132593262661000001ull;
  facts.born = 132590592005000000ull;
  facts.in_volume = true;
  facts.deleted = true;
  facts.file_name_times = kerf::FileNameTimes{132590592001111111ull, 132590592002222222ull, 132590592003333333ull,
                                              132590592004444444ull};
  return facts;
}

kerf::PrefetchRecord load(const kerf::SourceFile& facts, const kerf::VolumeLookup* volumes, bool look_up) {
  kerf::DecodeOptions options;
  options.look_up_loaded_files = look_up;
  kerf::PrefetchLoader loader(options);
  FakeImageFile file(image_prefetch_file(), facts, volumes);
  kerf::PrefetchRecord record;
  EXPECT_TRUE(loader.load(file, record).ok());
  return record;
}

TEST(ImageLookup, EachLoadedFileIsLookedUpOnTheImageVolumeItWasOn) {
  const FakeVolumes volumes;
  const kerf::PrefetchRecord record = load(deleted_in_volume(), &volumes, true);
  ASSERT_EQ(record.volumes.size(), 3u);
  EXPECT_EQ(record.volumes[0].image_volume, kSystemVolume);
  EXPECT_EQ(record.volumes[1].image_volume, kDataVolume);
  EXPECT_EQ(record.volumes[2].image_volume, std::nullopt);
  struct Fate {
    std::optional<std::uint64_t> image_volume;
    MftState state;
    std::string current_path;
  };
  const Fate expected[] = {
      {kSystemVolume, MftState::in_use, "\\Windows\\System32\\ntdll.dll"},
      {kSystemVolume, MftState::deleted, ""},  // the volume's name in another case
      {kDataVolume, MftState::reused, ""},
      {kDataVolume, MftState::in_use, "\\Archive\\MOVED.DLL"},
      {std::nullopt, MftState::unknown, ""},  // a volume the image does not hold
      {kDataVolume, MftState::unknown, ""},   // no reference
      {std::nullopt, MftState::unknown, ""},  // HARDDISKVOLUME20 is not HARDDISKVOLUME2
  };
  ASSERT_EQ(record.loaded_file_fates.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(record.loaded_file_fates[i].image_volume, expected[i].image_volume);
    EXPECT_EQ(record.loaded_file_fates[i].lookup.state, expected[i].state);
    EXPECT_EQ(record.loaded_file_fates[i].lookup.current_path, expected[i].current_path);
  }
  // Not asked for, or a source with no image behind it: nothing looked up,
  // and no file references read that the layout did not ask for.
  for (const kerf::PrefetchRecord& other : {load(deleted_in_volume(), &volumes, false),
                                            load(deleted_in_volume(), nullptr, true)}) {
    EXPECT_TRUE(other.loaded_file_fates.empty());
    EXPECT_TRUE(other.file_references.empty());
    EXPECT_EQ(other.volumes[0].image_volume, std::nullopt);
  }
}

enum class Shown { deleted, kept, host };

struct ImageLayoutCase {
  const char* name;
  std::vector<std::string> options;
  Shown file;
  bool looks_up;  // the run asks the loader for the fates of loaded files
  std::string expected;
};

// Every layout of the deleted file, whole; then a file in a volume that was
// not deleted, and a host file, which shows nothing of an image. The JSON
// lines must match the schemas in docs/.
TEST(ImageLayouts, WhatTheImageTellsInEveryLayout) {
  const FakeVolumes volumes;
  const kerf::PrefetchRecord deleted = load(deleted_in_volume(), &volumes, true);
  kerf::PrefetchRecord kept = deleted;
  kept.source.deleted = false;
  kerf::PrefetchRecord host = load(kerf::SourceFile{}, nullptr, true);
  host.source.modified = deleted.source.modified;
  const kerf::InputFile input{"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf",
                              "RUN.EXE-4A81B364.pf", {}};
  const ImageLayoutCase cases[] = {
      {"long form", {"-verbose"}, Shown::deleted, true, R"EXPECTED(Analyzing file: /cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf
modified:       2021-03-04 10:11:05
accessed:       2021-03-04 10:11:05
stats changed:  2021-03-04 10:11:06
deleted:        yes, its MFT entry is free

target file:    RUN.EXE, run 2 times
Last run:       2021-03-04 10:11:05.123
Prev run:       2021-03-01 08:00:00.500
path:           \DEVICE\HARDDISKVOLUME2\APP\RUN.EXE

 --------- files mapped --------- 

001 : \VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL [in use]
002 : \volume{01D1217A9C4C6779-8C9F49EC}\TOOLS\OLD.DLL [deleted]
003 : \DEVICE\HARDDISKVOLUME2\APP\RUN.EXE [reused]
004 : \DEVICE\HARDDISKVOLUME2\APP\MOVED.DLL [in use, now \Archive\MOVED.DLL]
005 : \DEVICE\HARDDISKVOLUME3\X.DLL
006 : \DEVICE\HARDDISKVOLUME2\NOREF.DLL
007 : \DEVICE\HARDDISKVOLUME20\Y.DLL

 --------- directories mapped --------- 

vol path:     \VOLUME{01d1217a9c4c6779-8c9f49ec} (image volume at byte 1048576)
time created: 2015-11-17 20:57:46.243
serial num:   8c9f-49ec

001 : \WINDOWS

vol path:     \DEVICE\HARDDISKVOLUME2 (image volume at byte 5242880)
time created: 2019-07-01 12:00:00.000
serial num:   1111-2222


vol path:     \DEVICE\HARDDISKVOLUME3
time created: 2019-07-01 12:00:00.000
serial num:   3333-4444


)EXPECTED"},
      {"json", {"-json"}, Shown::deleted, true, R"EXPECTED({"source":{"path":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","name":"RUN.EXE-4A81B364.pf","size":1234,"modified":"2021-03-04T10:11:05.1234567Z","accessed":"2021-03-04T10:11:05.9999999Z","changed":"2021-03-04T10:11:06.1000001Z","born":"2021-03-01T08:00:00.5000000Z","deleted":true,"fn_modified":"2021-03-01T08:00:00.1111111Z","fn_accessed":"2021-03-01T08:00:00.2222222Z","fn_changed":"2021-03-01T08:00:00.3333333Z","fn_born":"2021-03-01T08:00:00.4444444Z"},"format_version":30,"format":"Win10 Prefetch","container":"none","checksum":null,"executable":"RUN.EXE","run_count":2,"last_run":"2021-03-04T10:11:05.1234567Z","previous_runs":["2021-03-01T08:00:00.5000000Z"],"run_times_in_order":true,"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","hash":"4A81B364","name_hash":"4A81B364","hash_check":{"verdict":"unverified","device_path":null,"volume_number":null,"name_matches":true},"embedded_path":null,"volumes":[{"device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","serial":"8C9F49EC","created":"2015-11-17T20:57:46.2434681Z","name_matches":true,"image_volume":1048576,"directories":["\\WINDOWS"]},{"device_path":"\\DEVICE\\HARDDISKVOLUME2","serial":"11112222","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"image_volume":5242880,"directories":[]},{"device_path":"\\DEVICE\\HARDDISKVOLUME3","serial":"33334444","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"image_volume":null,"directories":[]}],"files":[{"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL","mft_entry":16,"mft_sequence":1,"mft_state":"in use","current_path":"\\Windows\\System32\\ntdll.dll"},{"path":"\\volume{01D1217A9C4C6779-8C9F49EC}\\TOOLS\\OLD.DLL","mft_entry":32,"mft_sequence":3,"mft_state":"deleted","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","mft_entry":48,"mft_sequence":2,"mft_state":"reused","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\MOVED.DLL","mft_entry":64,"mft_sequence":1,"mft_state":"in use","current_path":"\\Archive\\MOVED.DLL"},{"path":"\\DEVICE\\HARDDISKVOLUME3\\X.DLL","mft_entry":80,"mft_sequence":1,"mft_state":"unknown","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\NOREF.DLL","mft_entry":null,"mft_sequence":null,"mft_state":"unknown","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME20\\Y.DLL","mft_entry":96,"mft_sequence":1,"mft_state":"unknown","current_path":null}]}
)EXPECTED"},
      {"json kept", {"-json"}, Shown::kept, true, R"EXPECTED({"source":{"path":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","name":"RUN.EXE-4A81B364.pf","size":1234,"modified":"2021-03-04T10:11:05.1234567Z","accessed":"2021-03-04T10:11:05.9999999Z","changed":"2021-03-04T10:11:06.1000001Z","born":"2021-03-01T08:00:00.5000000Z","deleted":false,"fn_modified":"2021-03-01T08:00:00.1111111Z","fn_accessed":"2021-03-01T08:00:00.2222222Z","fn_changed":"2021-03-01T08:00:00.3333333Z","fn_born":"2021-03-01T08:00:00.4444444Z"},"format_version":30,"format":"Win10 Prefetch","container":"none","checksum":null,"executable":"RUN.EXE","run_count":2,"last_run":"2021-03-04T10:11:05.1234567Z","previous_runs":["2021-03-01T08:00:00.5000000Z"],"run_times_in_order":true,"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","hash":"4A81B364","name_hash":"4A81B364","hash_check":{"verdict":"unverified","device_path":null,"volume_number":null,"name_matches":true},"embedded_path":null,"volumes":[{"device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","serial":"8C9F49EC","created":"2015-11-17T20:57:46.2434681Z","name_matches":true,"image_volume":1048576,"directories":["\\WINDOWS"]},{"device_path":"\\DEVICE\\HARDDISKVOLUME2","serial":"11112222","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"image_volume":5242880,"directories":[]},{"device_path":"\\DEVICE\\HARDDISKVOLUME3","serial":"33334444","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"image_volume":null,"directories":[]}],"files":[{"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL","mft_entry":16,"mft_sequence":1,"mft_state":"in use","current_path":"\\Windows\\System32\\ntdll.dll"},{"path":"\\volume{01D1217A9C4C6779-8C9F49EC}\\TOOLS\\OLD.DLL","mft_entry":32,"mft_sequence":3,"mft_state":"deleted","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","mft_entry":48,"mft_sequence":2,"mft_state":"reused","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\MOVED.DLL","mft_entry":64,"mft_sequence":1,"mft_state":"in use","current_path":"\\Archive\\MOVED.DLL"},{"path":"\\DEVICE\\HARDDISKVOLUME3\\X.DLL","mft_entry":80,"mft_sequence":1,"mft_state":"unknown","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\NOREF.DLL","mft_entry":null,"mft_sequence":null,"mft_state":"unknown","current_path":null},{"path":"\\DEVICE\\HARDDISKVOLUME20\\Y.DLL","mft_entry":96,"mft_sequence":1,"mft_state":"unknown","current_path":null}]}
)EXPECTED"},
      {"json host", {"-json"}, Shown::host, true, R"EXPECTED({"source":{"path":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","name":"RUN.EXE-4A81B364.pf","size":0,"modified":"2021-03-04T10:11:05.1234567Z","accessed":null,"changed":null,"born":null},"format_version":30,"format":"Win10 Prefetch","container":"none","checksum":null,"executable":"RUN.EXE","run_count":2,"last_run":"2021-03-04T10:11:05.1234567Z","previous_runs":["2021-03-01T08:00:00.5000000Z"],"run_times_in_order":true,"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","hash":"4A81B364","name_hash":"4A81B364","hash_check":{"verdict":"unverified","device_path":null,"volume_number":null,"name_matches":true},"embedded_path":null,"volumes":[{"device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","serial":"8C9F49EC","created":"2015-11-17T20:57:46.2434681Z","name_matches":true,"directories":["\\WINDOWS"]},{"device_path":"\\DEVICE\\HARDDISKVOLUME2","serial":"11112222","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"directories":[]},{"device_path":"\\DEVICE\\HARDDISKVOLUME3","serial":"33334444","created":"2019-07-01T12:00:00.0000000Z","name_matches":null,"directories":[]}],"files":[{"path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\volume{01D1217A9C4C6779-8C9F49EC}\\TOOLS\\OLD.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\MOVED.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME3\\X.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME2\\NOREF.DLL","mft_entry":null,"mft_sequence":null},{"path":"\\DEVICE\\HARDDISKVOLUME20\\Y.DLL","mft_entry":null,"mft_sequence":null}]}
)EXPECTED"},
      {"timesketch", {"-timesketch"}, Shown::deleted, false, R"EXPECTED({"message":"RUN.EXE ran (2 runs; last 2021-03-04 10:11:05)","datetime":"2021-03-04T10:11:05.1234567Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","deleted":true}
{"message":"RUN.EXE ran before its last run (2 runs; last 2021-03-04 10:11:05)","datetime":"2021-03-01T08:00:00.5000000Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","deleted":true}
{"message":"Volume \\VOLUME{01d1217a9c4c6779-8c9f49ec} (serial 8C9F49EC) created; used by RUN.EXE","datetime":"2015-11-17T20:57:46.2434681Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","deleted":true,"volume_device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","volume_serial":"8C9F49EC"}
{"message":"Volume \\DEVICE\\HARDDISKVOLUME2 (serial 11112222) created; used by RUN.EXE","datetime":"2019-07-01T12:00:00.0000000Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","deleted":true,"volume_device_path":"\\DEVICE\\HARDDISKVOLUME2","volume_serial":"11112222"}
{"message":"Volume \\DEVICE\\HARDDISKVOLUME3 (serial 33334444) created; used by RUN.EXE","datetime":"2019-07-01T12:00:00.0000000Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","deleted":true,"volume_device_path":"\\DEVICE\\HARDDISKVOLUME3","volume_serial":"33334444"}
)EXPECTED"},
      {"timesketch kept", {"-timesketch"}, Shown::kept, false, R"EXPECTED({"message":"RUN.EXE ran (2 runs; last 2021-03-04 10:11:05)","datetime":"2021-03-04T10:11:05.1234567Z","timestamp_desc":"Last Time Executed","data_type":"windows:prefetch:execution","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf"}
{"message":"RUN.EXE ran before its last run (2 runs; last 2021-03-04 10:11:05)","datetime":"2021-03-01T08:00:00.5000000Z","timestamp_desc":"Previous Time Executed","data_type":"windows:prefetch:execution","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf"}
{"message":"Volume \\VOLUME{01d1217a9c4c6779-8c9f49ec} (serial 8C9F49EC) created; used by RUN.EXE","datetime":"2015-11-17T20:57:46.2434681Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","volume_device_path":"\\VOLUME{01d1217a9c4c6779-8c9f49ec}","volume_serial":"8C9F49EC"}
{"message":"Volume \\DEVICE\\HARDDISKVOLUME2 (serial 11112222) created; used by RUN.EXE","datetime":"2019-07-01T12:00:00.0000000Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","volume_device_path":"\\DEVICE\\HARDDISKVOLUME2","volume_serial":"11112222"}
{"message":"Volume \\DEVICE\\HARDDISKVOLUME3 (serial 33334444) created; used by RUN.EXE","datetime":"2019-07-01T12:00:00.0000000Z","timestamp_desc":"Volume Creation Time","data_type":"windows:volume:creation","executable":"RUN.EXE","path":"\\DEVICE\\HARDDISKVOLUME2\\APP\\RUN.EXE","run_count":2,"hash":"4A81B364","prefetch_file":"/cases/7/disk.E01@1048576:\\Windows\\Prefetch\\RUN.EXE-4A81B364.pf","volume_device_path":"\\DEVICE\\HARDDISKVOLUME3","volume_serial":"33334444"}
)EXPECTED"},
      {"csv", {"-csv"}, Shown::deleted, false, R"EXPECTED(prefetch file name,app name,times ran,last run, time-UTC,mdate, time-UTC,adate, time-UTC,cdate, time-UTC,path/appname,previous dates run
RUN.EXE-4A81B364.pf,RUN.EXE,2,2021-03-04, 10:11:05.123,2021-03-04, 10:11:05.123,2021-03-04, 10:11:05.999,2021-03-04, 10:11:06.100,\DEVICE\HARDDISKVOLUME2\APP\RUN.EXE,2021-03-01 08:00:00.500
)EXPECTED"},
      {"log2timeline", {"-csvl2t"}, Shown::deleted, false, R"EXPECTED(date,time,timezone,MACB,source,sourcetype,type,user,host,short,desc,version,filename,inode,notes,format,extra
2021-03-04, 10:11:05.123,UTC,M.C.,PREFETCH,Win10 Prefetch,Last Modified; Last Run,,,RUN.EXE-4A81B364.pf [RUN.EXE executed],Module list: MOVED.DLL; NOREF.DLL; NTDLL.DLL; OLD.DLL; RUN.EXE; X.DLL; Y.DLL,2,/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500] [Deleted file: its MFT entry is free],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]; [\DEVICE\HARDDISKVOLUME2; 1111-2222; 2019-07-01 12:00:00.000]; [\DEVICE\HARDDISKVOLUME3; 3333-4444; 2019-07-01 12:00:00.000]
2021-03-04, 10:11:05.999,UTC,.A..,PREFETCH,Win10 Prefetch,Last Access,,,RUN.EXE-4A81B364.pf [RUN.EXE executed],Module list: MOVED.DLL; NOREF.DLL; NTDLL.DLL; OLD.DLL; RUN.EXE; X.DLL; Y.DLL,2,/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500] [Deleted file: its MFT entry is free],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]; [\DEVICE\HARDDISKVOLUME2; 1111-2222; 2019-07-01 12:00:00.000]; [\DEVICE\HARDDISKVOLUME3; 3333-4444; 2019-07-01 12:00:00.000]
2021-03-04, 10:11:06.100,UTC,...B,PREFETCH,Win10 Prefetch,Created,,,RUN.EXE-4A81B364.pf [RUN.EXE executed],Module list: MOVED.DLL; NOREF.DLL; NTDLL.DLL; OLD.DLL; RUN.EXE; X.DLL; Y.DLL,2,/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf,,Run count: 2 [Previous time run: 2021-03-01 08:00:00.500] [Deleted file: its MFT entry is free],kerf (quorvex),Volume name; serial#; date: [\VOLUME{01d1217a9c4c6779-8c9f49ec}; 8c9f-49ec; 2015-11-17 20:57:46.243]; [\DEVICE\HARDDISKVOLUME2; 1111-2222; 2019-07-01 12:00:00.000]; [\DEVICE\HARDDISKVOLUME3; 3333-4444; 2019-07-01 12:00:00.000]
2021-03-01, 08:00:00.500,UTC,MAC.,PREFETCH,Win10 Prefetch,Modified; Access; Run,,,RUN.EXE-4A81B364.pf [RUN.EXE executed],Modules for last run are at record w/ same name at time: 2021-03-04 10:11:05.123,2,/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf,,Not last time run  but a previous time run. [Deleted file: its MFT entry is free],kerf (quorvex),
)EXPECTED"},
      {"body file", {"-bodyfile"}, Shown::deleted, false, R"EXPECTED(md5|name|inode|mode as string|uid|gid|size|access time|modify time|mft time|create time
0|RUN.EXE-4A81B364.pf (deleted) (Win10 Prefetch); run count: 2; app run: \DEVICE\HARDDISKVOLUME2\APP\RUN.EXE|0||0|0|1234|1614852665|1614852665|1614852665|1614852666
0|RUN.EXE-4A81B364.pf (deleted) (Win10 Prefetch); not last time run - but prevtime; app run: \DEVICE\HARDDISKVOLUME2\APP\RUN.EXE|0||0|0|1234|1614585600|1614585600|1614585600|1614852666
)EXPECTED"},
      {"html", {"-html"}, Shown::deleted, true, R"EXPECTED(<tbody><tr><td title="/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf">RUN.EXE-4A81B364.pf<small class="warn">deleted: its MFT entry is free</small></td><td>RUN.EXE</td><td data-k="00000000000000000002">2</td><td data-k="00132593262651234567">2021-03-04 10:11:05.123</td><td class="path">\DEVICE\HARDDISKVOLUME2\APP\RUN.EXE</td><td>unverified<small>stored hash 4A81B364</small></td><td data-k="00000000000000000030">Win10 Prefetch</td><td class="path"><div>\VOLUME{01d1217a9c4c6779-8c9f49ec} <small>8c9f-49ec</small></div><div>\DEVICE\HARDDISKVOLUME2 <small>1111-2222</small></div><div>\DEVICE\HARDDISKVOLUME3 <small>3333-4444</small></div></td></tr><tr class="more"><td colspan="8"><details><summary>1 earlier run, 7 loaded files, 1 directory</summary>
<p>Earlier runs: 2021-03-01 08:00:00.500</p><p>Loaded files</p><ol><li>\VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL</li><li>\volume{01D1217A9C4C6779-8C9F49EC}\TOOLS\OLD.DLL <span class="warn">[deleted]</span></li><li>\DEVICE\HARDDISKVOLUME2\APP\RUN.EXE <span class="warn">[reused: another file holds its MFT entry]</span></li><li>\DEVICE\HARDDISKVOLUME2\APP\MOVED.DLL [in use, now \Archive\MOVED.DLL]</li><li>\DEVICE\HARDDISKVOLUME3\X.DLL</li><li>\DEVICE\HARDDISKVOLUME2\NOREF.DLL</li><li>\DEVICE\HARDDISKVOLUME20\Y.DLL</li></ol><p>Directories on \VOLUME{01d1217a9c4c6779-8c9f49ec}, serial 8c9f-49ec, created 2015-11-17 20:57:46.243</p><ol><li>\WINDOWS</li></ol><p>Directories on \DEVICE\HARDDISKVOLUME2, serial 1111-2222, created 2019-07-01 12:00:00.000</p><p>Directories on \DEVICE\HARDDISKVOLUME3, serial 3333-4444, created 2019-07-01 12:00:00.000</p></details></td></tr></tbody>
)EXPECTED"},
      {"html host", {"-html"}, Shown::host, true, R"EXPECTED(<tbody><tr><td title="/cases/7/disk.E01@1048576:\Windows\Prefetch\RUN.EXE-4A81B364.pf">RUN.EXE-4A81B364.pf</td><td>RUN.EXE</td><td data-k="00000000000000000002">2</td><td data-k="00132593262651234567">2021-03-04 10:11:05.123</td><td class="path">\DEVICE\HARDDISKVOLUME2\APP\RUN.EXE</td><td>unverified<small>stored hash 4A81B364</small></td><td data-k="00000000000000000030">Win10 Prefetch</td><td class="path"><div>\VOLUME{01d1217a9c4c6779-8c9f49ec} <small>8c9f-49ec</small></div><div>\DEVICE\HARDDISKVOLUME2 <small>1111-2222</small></div><div>\DEVICE\HARDDISKVOLUME3 <small>3333-4444</small></div></td></tr><tr class="more"><td colspan="8"><details><summary>1 earlier run, 7 loaded files, 1 directory</summary>
<p>Earlier runs: 2021-03-01 08:00:00.500</p><p>Loaded files</p><ol><li>\VOLUME{01d1217a9c4c6779-8c9f49ec}\WINDOWS\SYSTEM32\NTDLL.DLL</li><li>\volume{01D1217A9C4C6779-8C9F49EC}\TOOLS\OLD.DLL</li><li>\DEVICE\HARDDISKVOLUME2\APP\RUN.EXE</li><li>\DEVICE\HARDDISKVOLUME2\APP\MOVED.DLL</li><li>\DEVICE\HARDDISKVOLUME3\X.DLL</li><li>\DEVICE\HARDDISKVOLUME2\NOREF.DLL</li><li>\DEVICE\HARDDISKVOLUME20\Y.DLL</li></ol><p>Directories on \VOLUME{01d1217a9c4c6779-8c9f49ec}, serial 8c9f-49ec, created 2015-11-17 20:57:46.243</p><ol><li>\WINDOWS</li></ol><p>Directories on \DEVICE\HARDDISKVOLUME2, serial 1111-2222, created 2019-07-01 12:00:00.000</p><p>Directories on \DEVICE\HARDDISKVOLUME3, serial 3333-4444, created 2019-07-01 12:00:00.000</p></details></td></tr></tbody>
)EXPECTED"},
  };
  std::map<std::string, std::string> json_lines;  // by layout option
  for (const ImageLayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<kerf::RunSettings> settings = kerf::testing::settings_for(c.options);
    ASSERT_TRUE(settings);
    settings->report.program_name = "kerf";
    const std::unique_ptr<kerf::Renderer> renderer = kerf::make_renderer(settings->report);
    EXPECT_EQ(kerf::decode_options(*renderer).look_up_loaded_files, c.looks_up);
    kerf::RenderedFile file;
    renderer->render(input, c.file == Shown::deleted ? deleted : c.file == Shown::kept ? kept : host, file);
    std::string out;
    if (settings->report.layout == kerf::Layout::html_page) {
      out = file.text;  // the file's row group
    } else {
      renderer->emit(file, out);
    }
    EXPECT_EQ(out, c.expected);
    const std::string layout = c.options.empty() ? "" : c.options[0];
    if (layout == "-json" || layout == "-timesketch") json_lines[layout] += out;
  }
  for (const auto& [layout, lines] : json_lines) {
    kerf::testing::RunOptions options;
    options.input = lines;
    const auto checked = kerf::testing::run_program(
        "/usr/bin/python3", {KERF_SOURCE_DIR "/tests/json_lines/check_json_lines.py", "lines", KERF_SOURCE_DIR "/docs", layout},
        options);
    if (checked.status == 77) GTEST_SKIP() << checked.out;
    EXPECT_EQ(checked.status, 0) << layout << "\n" << checked.out << checked.err;
  }
}

}  // namespace
