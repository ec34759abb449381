// Writes starting inputs for fuzz_parser: builder images of every format
// version and Windows 10/11 layout (with file references, and the path of
// the executable whose hash they store), plain and with a few damaged fields.
//   seeds_parser DIRECTORY
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/prefetch_image_builder.h"

namespace {

using kerf::testing::PrefetchImageBuilder;
using kerf::testing::VolumeSpec;

PrefetchImageBuilder sample(std::uint32_t version, std::uint32_t selector) {
  PrefetchImageBuilder builder(version);
  builder.layout_selector(selector)
      .exe_name(L"CMD.EXE")
      .path_hash(0xD269B812)
      .file_references({0x0001000000009EF4, 0x0001000000009CE8, 0x000300000000B5A6})
      .embedded_path(L"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE")
      .run_times({130971028239810694, 130968665427887265, 0, 130964236484058698})
      .run_count(55)
      .file_names({L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\CMD.EXE",
                   L"\\VOLUME{01d12173f395296c-66f451bc}\\CMDER129\\\u00C9T\u00C9.DLL"})
      .add_volume(VolumeSpec(L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}", 0x8C9F49EC, 130922674662434681,
                             {L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS",
                              L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32"},
                             40))
      .add_volume(VolumeSpec(L"\\VOLUME{01d12173f395296c-66f451bc}", 0x66F451BC, 130922646062049644,
                             {L"\\VOLUME{01d12173f395296c-66f451bc}\\CMDER129"}, 16));
  return builder;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  struct Seed {
    const char* name;
    PrefetchImageBuilder builder;
  };
  std::vector<Seed> seeds;
  for (const std::uint32_t version : {17u, 23u, 26u, 99u}) {
    seeds.push_back({nullptr, sample(version, 0)});
  }
  for (const std::uint32_t version : {30u, 31u}) {
    for (const std::uint32_t selector : {304u, 296u, 0u}) seeds.push_back({nullptr, sample(version, selector)});
  }
  seeds.push_back({"count0", sample(30, 304).patch_u32(88, 0)});
  seeds.push_back({"zerowords", [] {
                     VolumeSpec padded(L"\\DEVICE\\HARDDISKVOLUME2", 0x7450B65F, 130974565177889266,
                                       {L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS"});
                     padded.leading_zero_words = 3;
                     return PrefetchImageBuilder(26).exe_name(L"NOTEPAD.EXE").add_file_name(L"\\X").add_volume(padded);
                   }()});

  int index = 0;
  for (Seed& seed : seeds) {
    const std::string name = dir + "/seed-" + std::to_string(index++) + (seed.name ? std::string("-") + seed.name : "") + ".pf";
    if (!write(name, seed.builder.build())) {
      std::fprintf(stderr, "cannot write %s\n", name.c_str());
      return 1;
    }
  }
  return 0;
}
