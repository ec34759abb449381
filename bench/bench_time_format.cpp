// Cost of turning one FILETIME into date and time texts, the work done for
// every time stamp of every reported Prefetch file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "lib/time/date_time_format.h"

namespace {

constexpr std::uint64_t kStart = 130'000'000'001'234'567;  // 2012-12-14
constexpr std::uint64_t kStep = 864'000'000'000 + 12'345;  // about a day apart
constexpr std::uint64_t kSpan = kStep * 50'000;            // about 137 years

// Walks through about a century and a half of days so that the loop measures
// ordinary time stamps, not the rare years past 3000.
std::uint64_t next(std::uint64_t filetime) { return filetime + kStep < kStart + kSpan ? filetime + kStep : kStart; }

void BM_Instant(benchmark::State& state) {
  std::uint64_t filetime = kStart;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kerf::time::Instant::from_filetime(filetime));
    filetime = next(filetime);
  }
}
BENCHMARK(BM_Instant);

void BM_FormatDateTime(benchmark::State& state) {
  const kerf::time::DateTimeFormat format("yyyy-mm-dd", "hh:mm:ss.xxx");
  std::uint64_t filetime = kStart;
  std::string text;
  for (auto _ : state) {
    text.clear();
    format.append_date_time(text, filetime);
    benchmark::DoNotOptimize(text.data());
    filetime = next(filetime);
  }
}
BENCHMARK(BM_FormatDateTime);

}  // namespace

BENCHMARK_MAIN();
