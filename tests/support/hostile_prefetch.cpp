#include "tests/support/hostile_prefetch.h"

#include "testkit/prefetch_image_builder.h"
#include "testkit/xpress_encoder.h"

namespace kerf::testing {

std::vector<std::uint8_t> hostile_prefetch_image(std::uint32_t version) {
  const std::wstring exe = L"Q\"B\\E\x1b\nS\xD800.EXE";
  return PrefetchImageBuilder(version)
      .exe_name(exe)
      .path_hash(0x0A1B2C3D)
      .run_times({130970237009851234ull, 130967964010000001ull, 31241376000000000ull})
      .run_count(3)
      .file_names({L"\\VOLUME{1}\\A\xDC00" L"B\\X.DLL", L"\\VOLUME{1}\\\xD83D\xDE00.DLL",
                   L"\\VOLUME{1}\\T\tN\r\n.DLL", L"\\VOLUME{1}\\APP\\" + exe})
      .add_volume({L"\\VOLUME{1}\xDBFF", 0x0012ABCD, 132064560000000000ull, {L"\\VOLUME{1}\\\xDFFF\xD800"}})
      .add_volume({L"\\VOLUME{2}", 0xFFFFFFFF, 0})
      .build();
}

std::vector<NamedFile> hostile_prefetch_files() {
  const std::vector<std::string> names = {
      "line\nfeed.pf", "quote\"d.pf",  "back\\slash.pf", "esc\x1b[31mape.pf",
      "over\xc0\xaflong.pf", "sur\xed\xa0\x80.pf", "SAY-0A1B2C3D.pf", "caf\xc3\xa9-DEADBEEF.pf",
  };
  std::vector<NamedFile> files;
  std::size_t next_name = 0;
  const auto add = [&](std::vector<std::uint8_t> bytes) {
    files.push_back({names[next_name % names.size()], std::move(bytes)});
    if (next_name >= names.size()) files.back().name.insert(0, std::to_string(next_name / names.size()) + "-");
    ++next_name;
  };
  for (const std::uint32_t version : {17u, 23u, 26u, 30u, 31u}) add(hostile_prefetch_image(version));
  for (const std::uint32_t version : {30u, 31u}) {
    const std::vector<std::uint8_t> image = hostile_prefetch_image(version);
    add(make_mam_container(image));
    add(make_mem0_container(image));
    add(make_lz77_container(image));
  }
  return files;
}

}  // namespace kerf::testing
