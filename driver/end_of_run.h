// What a run owes the terminal and the diagnostics file when it ends.
//
// Progress text may have been left on the terminal line of standard error;
// at the end of a run that line is blanked (unless -quiet) and, with
// -profile, the run's duration is reported.
#pragma once

#include <chrono>
#include <memory>

#include "driver/run_settings.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"

namespace kerf {

class EndOfRun {
 public:
  explicit EndOfRun(io::MessageSink& messages) : m_messages(messages) {}
  // Does the end-of-run work when it is due.
  ~EndOfRun() { finish(); }
  EndOfRun(const EndOfRun&) = delete;
  EndOfRun& operator=(const EndOfRun&) = delete;

  // From now on the end-of-run work is due; the clock starts. `settings`
  // must live until finish() (the diagnostics file is opened later).
  void arm(const RunSettings& settings);

  // The end-of-run work, once: on a terminal the line-clearing sequence
  // unless -quiet, then with -profile "->" + elapsed seconds + " secs" on
  // one line, to the messages and to the diagnostics file when one is open.
  void finish();

 private:
  io::MessageSink& m_messages;
  const RunSettings* m_settings = nullptr;
  std::chrono::steady_clock::time_point m_started;
};

}  // namespace kerf
