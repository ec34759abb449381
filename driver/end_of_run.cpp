#include "driver/end_of_run.h"

#include <unistd.h>

#include <cstdio>

namespace kerf {

namespace {

// Erase the whole line, return to its start, overwrite what a terminal
// without the erase sequence still shows, and return again.
constexpr std::string_view kClearLine = "\x1b[2K\r                           \r";

}  // namespace

void EndOfRun::arm(const RunSettings& settings) {
  m_settings = &settings;
  m_started = std::chrono::steady_clock::now();
}

void EndOfRun::finish() {
  if (m_settings == nullptr) return;
  const RunSettings& settings = *m_settings;
  m_settings = nullptr;
  // Only a terminal has a line to blank; a log of standard error would just
  // collect the sequence.
  if (settings.messages_on && ::isatty(STDERR_FILENO) == 1) m_messages.write_message(kClearLine);
  if (settings.profile) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_started;
    char line[64];
    std::snprintf(line, sizeof line, "->%f secs\n", elapsed.count());
    m_messages.write_message(line);
    if (settings.diagnostics && settings.diagnostics->is_open()) settings.diagnostics->write_all(line);
  }
}

}  // namespace kerf
