// Cost of writing one decoded Prefetch record in each layout, the work done
// for every file of a bulk run. Output goes to a discarding stream so that
// only the building of the lines is measured.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "report/csv_report.h"
#include "report/longform_report.h"
#include "report/prefetch_timeline.h"
#include "tests/support/layout_options.h"

namespace {

class CountingBuffer : public std::streambuf {
 public:
  std::size_t bytes = 0;

 protected:
  int_type overflow(int_type c) override {
    ++bytes;
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    bytes += static_cast<std::size_t>(count);
    return count;
  }
};

// NOTEPAD.EXE, run three times with two older run times, one volume with two
// directories, and a load of modules the size of a typical program's.
void fill_record(kerf::kerf_user_context& options) {
  options.m_input_path = "/cases/c1/NOTEPAD.EXE-D8414F97.pf";
  options.m_input_name = "NOTEPAD.EXE-D8414F97.pf";
  kerf::PrefetchEntry& entry = options.m_entry;
  kerf::clear_entry(entry);
  entry.format_label = "Win10 Prefetch";
  entry.run_count = 3;
  entry.exe_name = "NOTEPAD.EXE";
  entry.app_path = "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
  entry.source_size = 4242;
  entry.source_stamps.stamp_m = 132593262723456789;
  entry.source_stamps.stamp_a = 132593262730000000;
  entry.source_stamps.stamp_b = 132593262749999999;
  entry.last_run_time = 132593262651234567;
  entry.prev_run_times = {132590592005000000, 132589439999990000};
  entry.volume_paths = {"\\VOLUME{01d7}"};
  entry.volume_create_times = {132064560000000000};
  entry.volume_serials = {0x0012ABCD};
  entry.volume_dirs = {{{1, "\\VOLUME{01d7}\\WINDOWS"}, {2, "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32"}}};
  for (std::uint64_t i = 0; i < 60; ++i) {
    options.m_entry.loaded_files.emplace(
        1000 + i * 100, "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\MODULE" + std::to_string(i) + ".DLL");
  }
}

void run_layout(benchmark::State& state, const std::vector<std::string>& words,
                bool (*write)(std::ostream&, kerf::kerf_user_context&)) {
  kerf::kerf_user_context options;
  if (!kerf::testing::apply_layout_options(options, words)) {
    state.SkipWithError("bad options");
    return;
  }
  fill_record(options);
  CountingBuffer buffer;
  std::ostream out(&buffer);
  for (auto _ : state) benchmark::DoNotOptimize(write(out, options));
  state.SetBytesProcessed(static_cast<std::int64_t>(buffer.bytes));
}

bool write_longform(std::ostream& out, kerf::kerf_user_context& options) {
  return kerf::write_longform_entry(out, options);
}

void BM_Longform(benchmark::State& state) { run_layout(state, {}, write_longform); }
BENCHMARK(BM_Longform);

void BM_CsvCompact(benchmark::State& state) {
  run_layout(state, {"-csv"}, kerf::write_csv_entry);
}
BENCHMARK(BM_CsvCompact);

void BM_CsvVerbose(benchmark::State& state) {
  run_layout(state, {"-csv", "-verbose"}, kerf::write_csv_entry);
}
BENCHMARK(BM_CsvVerbose);

void BM_CsvTable(benchmark::State& state) {
  run_layout(state, {"-pipe", "-enumdir", "/x"}, kerf::write_csv_entry);
}
BENCHMARK(BM_CsvTable);

void BM_Log2timeline(benchmark::State& state) {
  run_layout(state, {"-csvl2t"}, kerf::write_l2t_entry);
}
BENCHMARK(BM_Log2timeline);

void BM_Bodyfile(benchmark::State& state) {
  run_layout(state, {"-bodyfile"}, kerf::write_bodyfile_entry);
}
BENCHMARK(BM_Bodyfile);

}  // namespace

BENCHMARK_MAIN();
