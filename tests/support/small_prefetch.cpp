#include "tests/support/small_prefetch.h"

#include "testkit/prefetch_image_builder.h"

namespace kerf::testing {

std::vector<std::uint8_t> small_prefetch(std::uint32_t version, const std::wstring& exe) {
  return PrefetchImageBuilder(version)
      .exe_name(exe)
      .run_times({132971962938281250ull, 132971962000000000ull})
      .run_count(2)
      .file_names({L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\SYSTEM32\\NTDLL.DLL",
                   L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\" + exe})
      .add_volume({L"\\VOLUME{01d1217a9c4c6779-1234abcd}", 0x1234abcd, 0x01d1217a9c4c6779ull,
                   {L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS"}})
      .build();
}

}  // namespace kerf::testing
