#include "driver/run/end_of_run.h"

#include <unistd.h>

#include <cstdio>

namespace kerf {

namespace {

// Erase the whole line, return to its start, overwrite what a terminal
// without the erase sequence still shows, and return again.
constexpr std::string_view kClearLine = "\x1b[2K\r                           \r";

}  // namespace

void finish_run(const RunSettings& settings, io::File* diagnostics, std::chrono::steady_clock::time_point started,
                io::MessageSink& messages) {
  // Only a terminal has a line to blank; a log of standard error would just
  // collect the sequence.
  if (settings.messages_on && ::isatty(STDERR_FILENO) == 1) messages.write_message(kClearLine);
  if (settings.profile) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    char line[64];
    std::snprintf(line, sizeof line, "->%f secs\n", elapsed.count());
    messages.write_message(line);
    if (diagnostics != nullptr && diagnostics->is_open()) diagnostics->write_all(line);
  }
}

}  // namespace kerf
