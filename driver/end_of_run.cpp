#include "driver/end_of_run.h"

#include <cstdio>

namespace kerf {

namespace {

// Erase the whole line, return to its start, overwrite what a terminal
// without the erase sequence still shows, and return again.
constexpr std::string_view kClearLine = "\x1b[2K\r                           \r";

}  // namespace

void EndOfRun::arm(const RunSettings& settings) {
  m_quiet = !settings.messages_on;
  m_profile = settings.profile;
  m_diagnostics = settings.diagnostics;
  m_started = std::chrono::steady_clock::now();
  m_armed = true;
}

void EndOfRun::finish() {
  if (!m_armed) return;
  m_armed = false;
  if (!m_quiet) m_messages.write_message(kClearLine);
  if (m_profile) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_started;
    char line[64];
    std::snprintf(line, sizeof line, "->%f secs\n", elapsed.count());
    m_messages.write_message(line);
    if (m_diagnostics && m_diagnostics->is_open()) m_diagnostics->write_all(line);
  }
  m_diagnostics.reset();
}

}  // namespace kerf
