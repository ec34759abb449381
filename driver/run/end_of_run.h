// What a run owes the terminal and the diagnostics file when it ends.
//
// Progress text may have been left on the terminal line of standard error;
// at the end of a run that line is blanked (unless -quiet) and, with
// -profile, the run's duration is reported.
#pragma once

#include <chrono>

#include "driver/cli/run_settings.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"

namespace kerf {

// The end-of-run work: on a terminal the line-clearing sequence unless
// -quiet, then with -profile "->" + seconds since `started` + " secs" on one
// line, to the messages and to `diagnostics` when one is open.
void finish_run(const RunSettings& settings, io::File* diagnostics, std::chrono::steady_clock::time_point started,
                io::MessageSink& messages);

}  // namespace kerf
