// The command-line context: what a run owes the terminal and the
// diagnostics file once the options are known and the run ends.
//
// Progress text may have been left on the terminal line of standard error;
// at the end of a run the context blanks that line (unless -quiet) and, with
// -profile, reports how long the run took.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "lib/cmd_params.h"
#include "lib/uni/fileio.h"

namespace qv {

class cmdline_ctx {
 public:
  // `messages` is where the end-of-run text goes (standard error in a run).
  explicit cmdline_ctx(std::FILE* messages = stderr);
  // Does the end-of-run work when the options were taken over.
  virtual ~cmdline_ctx();
  cmdline_ctx(const cmdline_ctx&) = delete;
  cmdline_ctx& operator=(const cmdline_ctx&) = delete;

  // Takes over -quiet, -profile and the diagnostics file from parsed options
  // and starts the clock; from now on the end-of-run work is due.
  void take_over(const cmd_params& params);

  // The end-of-run work, once: the line-clearing sequence unless -quiet,
  // then with -profile "->" + elapsed seconds + " secs" on one line, to the
  // messages stream and to the diagnostics file when one is open.
  void finish();

 private:
  std::FILE* m_messages;
  bool m_taken_over = false;
  bool m_quiet = false;
  bool m_profile = false;
  std::uint64_t m_started = 0;  // NTP stamp
  std::shared_ptr<uni::fileio> m_diags_file;
};

}  // namespace qv
