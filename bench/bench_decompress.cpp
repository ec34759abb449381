// Decompression speed of the container decoder, in output bytes per second,
// on streams the test encoder writes: Prefetch-like images (repeated UTF-16LE
// paths, header fields, zero runs), random bytes (all literals), and, when
// $KERF_CORPUS is set, the real compressed Windows 10 files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/xpress_sample_data.h"
#include "codec/xpress_decoder.h"
#include "testkit/corpus.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::testing::ByteVector;

void run_decompress(benchmark::State& state, const ByteVector& container) {
  std::size_t output_size = 0;
  for (auto _ : state) {
    kerf::codec::XpressDecoder decoder;
    if (decoder.decompress(container).status != kerf::codec::DecodeStatus::ok) {
      state.SkipWithError("decompress failed");
      return;
    }
    output_size = decoder.output().size();
    benchmark::DoNotOptimize(decoder.output().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * output_size));
  state.counters["ratio"] = static_cast<double>(output_size) / static_cast<double>(container.size());
}

void BM_MamPrefetchLike(benchmark::State& state) {
  static const ByteVector container = kerf::testing::make_mam_container(kerf::bench::prefetch_like_bytes(80 * 1024, 5));
  run_decompress(state, container);
}
BENCHMARK(BM_MamPrefetchLike);

void BM_MamRandom(benchmark::State& state) {
  static const ByteVector container = kerf::testing::make_mam_container(kerf::bench::random_bytes(80 * 1024, 6));
  run_decompress(state, container);
}
BENCHMARK(BM_MamRandom);

void BM_Lz77PrefetchLike(benchmark::State& state) {
  static const ByteVector container = kerf::testing::make_lz77_container(kerf::bench::prefetch_like_bytes(64 * 1024, 7));
  run_decompress(state, container);
}
BENCHMARK(BM_Lz77PrefetchLike);

void register_corpus_benchmarks() {
  const auto dir = kerf::testing::corpus_dir();
  if (!dir) return;
  const std::filesystem::path win10 = std::filesystem::path(*dir) / "Win10";
  if (!std::filesystem::is_directory(win10)) return;
  for (const auto& entry : std::filesystem::directory_iterator(win10)) {
    std::ifstream in(entry.path(), std::ios::binary);
    ByteVector file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (kerf::codec::detect_container(file).kind == kerf::codec::ContainerKind::none) continue;
    benchmark::RegisterBenchmark(("BM_Corpus/" + entry.path().filename().string()).c_str(),
                                 [file](benchmark::State& state) { run_decompress(state, file); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_corpus_benchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
