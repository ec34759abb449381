// One file's whole road through kerf, as a bulk run takes it: read from disk,
// undo the container, parse, and render in each layout. The files are a small
// realistic mix (four fifths MAM-compressed) written to a temporary folder;
// output goes to /dev/null, so this measures kerf's own work per file
// without the cost of the terminal or a results file.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "driver/run/file_result.h"
#include "testkit/layout_options.h"
#include "tools/sample_prefetch.h"
#include "testkit/temp_dir.h"

namespace {

struct SampleTree {
  kerf::testing::TempDir dir;
  std::vector<std::string> paths;
  std::size_t decoded_bytes = 0;

  SampleTree() {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200; ++i) {
      const auto sample = kerf::samples::make_sample(kerf::samples::random_sample_shape(rng));
      paths.push_back(dir.file(std::to_string(i) + "-" + sample.file_name));
      kerf::samples::write_sample(paths.back(), sample);
      decoded_bytes += sample.image_size;
    }
  }
};

const SampleTree& sample_tree() {
  static const SampleTree tree;
  return tree;
}

void run_files(benchmark::State& state, const std::vector<std::string>& words) {
  const SampleTree& tree = sample_tree();
  const auto settings = kerf::testing::settings_for(words);
  kerf::io::OutputFile out;
  if (!settings || !out.open_results_file("/dev/null", false)) {
    state.SkipWithError("bad options");
    return;
  }
  const auto renderer = kerf::make_renderer(settings->report);
  kerf::FileDecoder decoder(*renderer, {});
  kerf::ResultWriter writer(*settings, *renderer, out);
  kerf::io::MessageSink messages;
  kerf::FileResult result;
  std::size_t reported = 0;
  for (auto _ : state) {
    for (const auto& path : tree.paths) {
      decoder.decode(path, {}, kerf::NameOrigin{}, result);
      writer.write(result, messages);
      reported += result.outcome == kerf::FileOutcome::reported ? 1 : 0;
    }
  }
  if (reported != tree.paths.size() * state.iterations()) state.SkipWithError("a file failed");
  state.SetItemsProcessed(static_cast<std::int64_t>(tree.paths.size() * state.iterations()));
  state.SetBytesProcessed(static_cast<std::int64_t>(tree.decoded_bytes * state.iterations()));
}

void BM_LongForm(benchmark::State& state) { run_files(state, {}); }
void BM_Csv(benchmark::State& state) { run_files(state, {"-csv"}); }
// The benchmark files carry no real path hash: every candidate path is
// searched through all 128 volume numbers, the dearest case.
void BM_CsvVerify(benchmark::State& state) { run_files(state, {"-csv", "-verify"}); }
void BM_Log2timeline(benchmark::State& state) { run_files(state, {"-csvl2t"}); }
void BM_Bodyfile(benchmark::State& state) { run_files(state, {"-bodyfile"}); }

BENCHMARK(BM_LongForm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Csv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvVerify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Log2timeline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bodyfile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
