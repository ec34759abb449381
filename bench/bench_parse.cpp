// Decoding speed of parse_prefetch_image per format version, on images laid
// out like real files: 50 to 400 loaded-file names and 1 to 3 volumes each.
// Reports images per second (and bytes per second).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "prefetch/parser.h"
#include "testkit/prefetch_image_builder.h"

namespace {

using kerf::testing::PrefetchImageBuilder;
using kerf::testing::VolumeSpec;

const wchar_t* const kFolders[] = {L"WINDOWS\\SYSTEM32", L"WINDOWS\\SYSWOW64", L"PROGRAM FILES\\COMMON FILES",
                                   L"WINDOWS\\WINSXS\\AMD64_MICROSOFT.WINDOWS.COMMON-CONTROLS_6595B64144CCF1DF",
                                   L"USERS\\EXAMINER\\APPDATA\\LOCAL\\TEMP"};
const wchar_t* const kFiles[] = {L"NTDLL.DLL", L"KERNEL32.DLL", L"KERNELBASE.DLL", L"USER32.DLL",
                                 L"COMCTL32.DLL", L"MSVCRT.DLL", L"LOCALE.NLS", L"SORTDEFAULT.NLS"};

std::wstring volume_name(std::uint32_t version, unsigned volume) {
  if (version >= 30) return L"\\VOLUME{01d1217a9c4c677" + std::to_wstring(volume) + L"-8c9f49ec}";
  return L"\\DEVICE\\HARDDISKVOLUME" + std::to_wstring(volume + 1);
}

std::vector<std::uint8_t> realistic_image(std::uint32_t version, std::uint32_t selector, unsigned names,
                                          unsigned volumes) {
  PrefetchImageBuilder builder(version);
  builder.layout_selector(selector)
      .exe_name(L"APPLICATION.EXE")
      .run_times({130971820153344577, 130971808963388424, 130971802218199213, 130971794150514040})
      .run_count(20);
  std::vector<std::wstring> file_names;
  for (unsigned i = 0; i < names; ++i) {
    const std::wstring root = volume_name(version, i % volumes);
    file_names.push_back(root + L"\\" + kFolders[i % 5] + L"\\" + std::to_wstring(i) + kFiles[i % 8]);
  }
  file_names.push_back(volume_name(version, 0) + L"\\PROGRAM FILES\\VENDOR\\APPLICATION.EXE");
  builder.file_names(std::move(file_names));
  for (unsigned v = 0; v < volumes; ++v) {
    std::vector<std::wstring> directories;
    for (unsigned d = 0; d < 4 + 6 * v; ++d) directories.push_back(volume_name(version, v) + L"\\" + kFolders[d % 5]);
    builder.add_volume(VolumeSpec(volume_name(version, v), 0x8C9F49EC + v, 130922674662434681 + v, directories,
                                  16 * names / volumes));
  }
  return builder.build();
}

void parse_images(benchmark::State& state, std::uint32_t version, std::uint32_t selector) {
  std::vector<std::vector<std::uint8_t>> images;
  for (const unsigned names : {50u, 120u, 250u, 400u}) {
    for (const unsigned volumes : {1u, 2u, 3u}) images.push_back(realistic_image(version, selector, names, volumes));
  }
  kerf::PrefetchRecord record;
  std::size_t next = 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t>& image = images[next];
    next = next + 1 == images.size() ? 0 : next + 1;
    record.clear();  // as the loader does between files
    const bool parsed = kerf::parse_prefetch_image(image, record) == kerf::ParseResult::ok;
    benchmark::DoNotOptimize(parsed);
    benchmark::DoNotOptimize(record.loaded_files.size());
    bytes += static_cast<std::int64_t>(image.size());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(bytes);
}

BENCHMARK_CAPTURE(parse_images, v17_xp, 17u, 0u);
BENCHMARK_CAPTURE(parse_images, v23_vista7, 23u, 0u);
BENCHMARK_CAPTURE(parse_images, v26_win8, 26u, 0u);
BENCHMARK_CAPTURE(parse_images, v30_win10_304, 30u, 304u);
BENCHMARK_CAPTURE(parse_images, v30_win10_296, 30u, 296u);
BENCHMARK_CAPTURE(parse_images, v31_win11, 31u, 304u);

}  // namespace

BENCHMARK_MAIN();
