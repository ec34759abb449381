#include "tests/support/report_samples.h"

namespace kerf::testing {

void fill_sample_record(kerf_user_context& options) {
  options.m_input_path = "/cases/c1/NOTEPAD.EXE-D8414F97.pf";
  options.m_input_name = "NOTEPAD.EXE-D8414F97.pf";
  PrefetchEntry& entry = options.m_entry;
  clear_entry(entry);
  entry.format_label = "Win10 Prefetch";
  entry.run_count = 3;
  entry.exe_name = "NOTEPAD.EXE";
  entry.app_path = "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
  entry.source_size = SampleTimes::kSize;
  entry.source_mode = 0100644;
  entry.source_stamps.stamp_m = SampleTimes::kModified;
  entry.source_stamps.stamp_a = SampleTimes::kAccessed;
  entry.source_stamps.stamp_b = SampleTimes::kChanged;
  entry.source_stamps.labels[2] = "Time last run";
  entry.source_stamps.subject = "PF";
  entry.last_run_time = SampleTimes::kLastRun;
  entry.prev_run_times = {SampleTimes::kPrevNewer, SampleTimes::kPrevOlder};
  entry.loaded_files = {{100, "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
                        {180, "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"}};
  entry.volume_paths = {"\\VOLUME{01d7}"};
  entry.volume_create_times = {SampleTimes::kVolumeCreated};
  entry.volume_serials = {SampleTimes::kSerial};
  entry.volume_dirs = {{{1, "\\VOLUME{01d7}\\WINDOWS"}, {2, "\\VOLUME{01d7}\\WINDOWS\\SYSTEM32"}}};
}

}  // namespace kerf::testing
