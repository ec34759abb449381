// Runs a program as a child process, the way a shell would but without one:
// arguments are passed as they are, standard input is fed from a string,
// standard output and standard error are captured, and the exit status is
// returned. Used by the command-line tests to run the built kerf, with the
// helpers they share to read what it wrote.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kerf::testing {

using Args = std::vector<std::string>;

struct RunOptions {
  std::string input;        // standard input
  std::string working_dir;  // empty: the caller's
  // Added to (or replacing in) the caller's environment.
  std::vector<std::pair<std::string, std::string>> env;
  // Argument 0 as the program sees it; the program's path when not set.
  std::optional<std::string> argv0;
  // Standard output: captured when neither is set; otherwise closed, or
  // opened for writing on this path (such as "/dev/full").
  bool close_stdout = false;
  std::optional<std::string> stdout_path;
  bool append_stdout = false;  // stdout_path is added to (">>"), not emptied (">")
  std::optional<mode_t> umask;  // the child's umask; the caller's when not set
  int timeout_seconds = 60;     // then the child is killed and the run fails
};

struct RunResult {
  // Exit status; 128 + signal number when killed by one, -1 when it timed
  // out (and `err` then ends with a line that says so).
  int status = -1;
  bool timed_out = false;
  std::string out;  // standard output (empty unless captured)
  std::string err;  // standard error
};

// Runs `program` with `args` (not including argument 0).
RunResult run_program(const std::string& program, const Args& args, const RunOptions& options = {});

// Options whose standard input is `names`, one a line, as `find` pipes them.
RunOptions piping(const Args& names);

// What follows the run header (whose last line is the quoted command line,
// then an empty line); the whole output when it has no header.
std::string after_header(const std::string& output);

// What a shell command prints on standard output (The Sleuth Kit's and
// libvshadow's tools, as independent readers).
std::string output_of(const std::string& command);

// The lines of `text`, each without its "\n"; an unfinished last line is
// left out.
std::vector<std::string> lines_of(const std::string& text);

#ifdef KERF_EXE
// The kerf built alongside the tests.
inline std::string kerf_exe() { return KERF_EXE; }

inline RunResult run_kerf(const Args& args, const RunOptions& options = {}) {
  return run_program(kerf_exe(), args, options);
}
#endif

}  // namespace kerf::testing
