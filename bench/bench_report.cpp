// Cost of rendering one decoded Prefetch record in each layout, the work
// done for every file of a bulk run; only the building of the text is
// measured.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "report/renderer.h"
#include "testkit/layout_options.h"

namespace {

// NOTEPAD.EXE, run three times with two older run times, one volume with two
// directories, and a load of modules the size of a typical program's.
kerf::PrefetchRecord sample_record() {
  kerf::PrefetchRecord record;
  record.format_version = 30;
  record.run_count = 3;
  record.exe_name = "NOTEPAD.EXE";
  record.app_path = "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
  record.source.size = 4242;
  record.source.modified = 132593262723456789;
  record.source.accessed = 132593262730000000;
  record.source.changed = 132593262749999999;
  record.last_run_time = 132593262651234567;
  record.previous_run_times = {132590592005000000, 132589439999990000};
  kerf::Volume& volume = record.volumes.emplace_back();
  volume.device_path = "\\VOLUME{01d7}";
  volume.created = 132064560000000000;
  volume.serial = 0x0012ABCD;
  volume.directories.push_back("\\VOLUME{01d7}\\WINDOWS");
  volume.directories.push_back("\\VOLUME{01d7}\\WINDOWS\\SYSTEM32");
  for (int i = 0; i < 60; ++i) {
    record.loaded_files.push_back("\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\MODULE" + std::to_string(i) + ".DLL");
  }
  return record;
}

void run_layout(benchmark::State& state, const std::vector<std::string>& words) {
  const auto settings = kerf::testing::settings_for(words);
  if (!settings) {
    state.SkipWithError("bad options");
    return;
  }
  const auto renderer = kerf::make_renderer(settings->report);
  const kerf::PrefetchRecord record = sample_record();
  const kerf::InputFile input{"/cases/c1/NOTEPAD.EXE-D8414F97.pf", "NOTEPAD.EXE-D8414F97.pf", {}};
  kerf::RenderedFile rendered;
  std::string out;
  std::size_t bytes = 0;
  for (auto _ : state) {
    renderer->render(input, record, rendered);
    out.clear();
    renderer->emit(rendered, out);
    bytes += out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_Longform(benchmark::State& state) { run_layout(state, {}); }
void BM_CsvCompact(benchmark::State& state) { run_layout(state, {"-csv"}); }
void BM_CsvVerbose(benchmark::State& state) { run_layout(state, {"-csv", "-verbose"}); }
void BM_CsvTable(benchmark::State& state) { run_layout(state, {"-pipe", "-enumdir", "/x"}); }
void BM_Log2timeline(benchmark::State& state) { run_layout(state, {"-csvl2t"}); }
void BM_Bodyfile(benchmark::State& state) { run_layout(state, {"-bodyfile"}); }
void BM_Json(benchmark::State& state) { run_layout(state, {"-json"}); }
void BM_Timesketch(benchmark::State& state) { run_layout(state, {"-timesketch"}); }

BENCHMARK(BM_Longform);
BENCHMARK(BM_CsvCompact);
BENCHMARK(BM_CsvVerbose);
BENCHMARK(BM_CsvTable);
BENCHMARK(BM_Log2timeline);
BENCHMARK(BM_Bodyfile);
BENCHMARK(BM_Json);
BENCHMARK(BM_Timesketch);

}  // namespace

BENCHMARK_MAIN();
