// The run header: three lines at the top of a run's output that say which
// program ran, when, where, and with which command line, so that a results
// file can be traced back to the run that wrote it.
#pragma once

#include <string>

#include "driver/cli/run_settings.h"
#include "lib/time/instant.h"

namespace kerf {

struct RunFacts {
  time::Instant started;  // the clock, read once at start-up
  std::string host_name;  // "<unk>" when the system gives none
  std::string system;     // kernel name, release and machine, and the program's word size
};

// Reads the clock, the host name and the kernel's name and release data.
RunFacts read_run_facts();

// The header, each line ending with a line end:
//   kerf ver: 1.40
//   Run start: <date> <hh:mm:ss> UTC; Host: <name>; OS: <system>
//   "Command line: [<filelist> ... | ]<arguments>"
// The date follows the header's date pattern. The "<filelist> ... | " part
// appears when the names are piped; control characters are escaped.
std::string build_run_header(const RunHeaderSettings& settings, const RunFacts& facts);

}  // namespace kerf
