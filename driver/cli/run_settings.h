// The settings of one run, fixed once the command line has been parsed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/input/input_filter.h"
#include "sources/image/opened_image.h"
#include "report/report_settings.h"

namespace kerf {

// Which names a run decodes and which it lets through.
struct InputSettings {
  std::vector<std::string> names;  // typed on the command line, %NAME% references expanded
  bool pipe = false;           // -pipe: names on standard input (wins over -enumdir)
  bool walk = false;           // -enumdir
  std::string walk_directory;  // -enumdir's directory, %NAME% references expanded
  std::uint32_t walk_depth = 0;  // -num_subdirs: levels of subdirectories searched
  std::vector<std::string> images;  // -image, each time it is given: disk images whose volumes are read
  ShadowCopySettings shadows;       // -vss, -vss_stores
  // -carve: scan the named files (carve_files, taken from the typed names)
  // and, with -image, each volume's free clusters for Prefetch data.
  bool carve = false;
  std::vector<std::string> carve_files;
  std::vector<FilterPattern> patterns;  // -filter, -filter_sig
  TimeWindow window;                    // -cmd_start_time, -cmd_stop_time

  // Several names typed on the command line make a bulk run too.
  bool bulk() const noexcept { return pipe || walk || names.size() > 1 || !images.empty() || carve; }
};

// What the run header shows of the command line.
struct RunHeaderSettings {
  std::string command_line;  // the arguments as typed, a word with a blank in single quotes
  bool piped = false;        // "-pipe" was typed: the names come from a list
  std::string date_pattern = "mm/dd/yyyy";
};

struct RunSettings {
  std::string command_line;  // the arguments as typed, joined
  RunHeaderSettings header;
  std::string program_name;  // argument 0 after its last "/", cut before its last "."
  ReportSettings report;
  InputSettings input;
  std::string results_file;  // -out; empty: standard output
  bool append = false;       // -append: keep what the results file already holds
  std::string diagnostics_path;  // -diags; the file, once open, is handed on beside the settings
  bool messages_on = true;  // cleared by -quiet
  bool no_run_header = false;  // -no_run_header: the text layouts start with their first line
  bool profile = false;
  std::uint32_t threads = 0;  // -threads: decoding threads of a bulk run; 0: one per CPU
};

}  // namespace kerf
