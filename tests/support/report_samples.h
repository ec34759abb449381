// A hand-made Prefetch record with known times, shared by the report tests:
// NOTEPAD.EXE, run three times, two older run times, two loaded files and
// one volume with two directories.
#pragma once

#include <cstdint>

#include "driver/kerf_user_context.h"

namespace kerf::testing {

struct SampleTimes {
  static constexpr std::uint64_t kModified = 132593262723456789;  // 2021-03-04 10:11:12.3456789
  static constexpr std::uint64_t kAccessed = 132593262730000000;  // 2021-03-04 10:11:13
  static constexpr std::uint64_t kChanged = 132593262749999999;   // 2021-03-04 10:11:14.9999999
  static constexpr std::uint64_t kLastRun = 132593262651234567;   // 2021-03-04 10:11:05.1234567
  static constexpr std::uint64_t kPrevNewer = 132590592005000000;  // 2021-03-01 08:00:00.5
  static constexpr std::uint64_t kPrevOlder = 132589439999990000;  // 2021-02-27 23:59:59.999
  static constexpr std::uint64_t kVolumeCreated = 132064560000000000;  // 2019-07-01 12:00:00
  static constexpr std::uint32_t kSerial = 0x0012ABCD;
  static constexpr std::uint64_t kSize = 4242;
};

// Sets the input path and name (/cases/c1/NOTEPAD.EXE-D8414F97.pf) and fills
// the record of `options` with the sample; the layout settings are left alone.
void fill_sample_record(kerf_user_context& options);

}  // namespace kerf::testing
