// Cost of the directory walk of -enumdir per file found: one directory
// holding N files (a Prefetch folder of a busy machine holds a few hundred,
// a collection of many machines' folders tens of thousands), and the time
// spent per name must stay flat as N grows.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "driver/input/directory_walker.h"
#include "testkit/temp_dir.h"

namespace {

void fill_directory(const kerf::testing::TempDir& dir, int files) {
  for (int i = 0; i < files; ++i) {
    std::ofstream(dir.file("PROGRAM" + std::to_string(i) + ".EXE-1A2B3C4D.pf")) << "x";
  }
}

void walk(benchmark::State& state, const std::vector<kerf::FilterPattern>& filters) {
  kerf::testing::TempDir dir;
  fill_directory(dir, static_cast<int>(state.range(0)));
  const kerf::TimeWindow no_window;
  const std::string root = dir.path().string() + "/";
  std::string name;
  for (auto _ : state) {
    kerf::DirectoryWalker walker(root, 0, no_window, filters);
    std::size_t count = 0;
    while (walker.next(name)) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WalkOneDirectory(benchmark::State& state) { walk(state, {}); }
void BM_WalkOneDirectoryFiltered(benchmark::State& state) {
  walk(state, kerf::parse_filter_patterns("*.pf|/prefetch"));
}

BENCHMARK(BM_WalkOneDirectory)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkOneDirectoryFiltered)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
