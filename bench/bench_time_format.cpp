// Cost of turning one FILETIME into date and time texts, the work done for
// every time stamp of every reported Prefetch file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "lib/date_time_format.h"
#include "lib/date_time_format_desc.h"
#include "lib/qv_time.h"

namespace {

constexpr std::uint64_t kStart = 130'000'000'001'234'567;  // 2012-12-14
constexpr std::uint64_t kStep = 864'000'000'000 + 12'345;  // about a day apart
constexpr std::uint64_t kSpan = kStep * 50'000;            // about 137 years

// Walks through about a century and a half of days so that the loop measures
// ordinary time stamps, not the rare years past 3000.
std::uint64_t next(std::uint64_t filetime) {
  return filetime + kStep < kStart + kSpan ? filetime + kStep : kStart;
}

void BM_SetFiletime(benchmark::State& state) {
  std::uint64_t filetime = kStart;
  qv::time t;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.set_filetime(filetime));
    filetime = next(filetime);
  }
}
BENCHMARK(BM_SetFiletime);

void BM_FormatDateTime(benchmark::State& state) {
  std::uint64_t filetime = kStart;
  std::string date;
  std::string time_text;
  for (auto _ : state) {
    const qv::time t(static_cast<std::int64_t>(filetime), qv::type_time::filetime);
    qv::format_date_time(date, time_text, t, "yyyy-mm-dd", "hh:mm:ss.xxx");
    benchmark::DoNotOptimize(date.data());
    benchmark::DoNotOptimize(time_text.data());
    filetime = next(filetime);
  }
}
BENCHMARK(BM_FormatDateTime);

void BM_FormatWithDescriptor(benchmark::State& state) {
  qv::date_time_format_desc desc;
  qv::compile_date_time_format(desc, "yyyy-mm-dd", "hh:mm:ss.xxx", false);
  std::uint64_t filetime = kStart;
  std::string date;
  std::string time_text;
  for (auto _ : state) {
    const qv::time t(static_cast<std::int64_t>(filetime), qv::type_time::filetime);
    qv::format_with_descriptor(date, time_text, t, desc);
    benchmark::DoNotOptimize(date.data());
    benchmark::DoNotOptimize(time_text.data());
    filetime = next(filetime);
  }
}
BENCHMARK(BM_FormatWithDescriptor);

}  // namespace

BENCHMARK_MAIN();
