// Speed of the carving signature search over 64 MiB: random bytes (free
// clusters of a disk, compressed or encrypted data) and text-like bytes
// (words full of 'M' and 'S', in ASCII and UTF-16LE, as page files and
// documents hold), which pass the search's first, coarse test far more often.
// Reports bytes per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "sources/carve/signature_scan.h"

namespace {

constexpr std::size_t kBytes = std::size_t{64} << 20;

std::vector<std::uint8_t> random_bytes() {
  std::mt19937_64 rng(1);
  std::vector<std::uint8_t> bytes(kBytes);
  for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    const std::uint64_t word = rng();
    for (std::size_t k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
  return bytes;
}

// Words chosen to come close to the signatures ("MEMORY", "SCCM", "MOM",
// "MSMPENG") without being one.
std::vector<std::uint8_t> text_like_bytes() {
  constexpr std::string_view kWords[] = {"MEMORY ",   "SYSTEM32\\",   "MSMPENG.EXE ", "SCCM ",   "MOM ",
                                         "Prefetch ", "SMSS.EXE ",    "SVCHOST.EXE ", "MSM ",    "Microsoft ",
                                         "MSCOREE ",  "SESSION MGR ", "MM/SS ",       "SCHEMA ", "MAXIMUM ",
                                         "the ",      "and ",         "SMS ",         "MEMO ",   "SCSI "};
  std::mt19937 rng(2);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kBytes);
  while (bytes.size() < kBytes) {
    const bool wide = rng() % 4 == 0;
    for (int i = 0; i < 64; ++i) {
      for (const char c : kWords[rng() % std::size(kWords)]) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        if (wide) bytes.push_back(0);
      }
    }
  }
  bytes.resize(kBytes);
  return bytes;
}

void scan(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint64_t> starts;
  for (auto _ : state) {
    starts.clear();
    kerf::find_signatures(bytes, bytes.size(), starts);
    benchmark::DoNotOptimize(starts.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["found"] = static_cast<double>(starts.size());
}

void BM_ScanRandom(benchmark::State& state) {
  static const std::vector<std::uint8_t> bytes = random_bytes();
  scan(state, bytes);
}
BENCHMARK(BM_ScanRandom)->Unit(benchmark::kMillisecond);

void BM_ScanTextLike(benchmark::State& state) {
  static const std::vector<std::uint8_t> bytes = text_like_bytes();
  scan(state, bytes);
}
BENCHMARK(BM_ScanTextLike)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
