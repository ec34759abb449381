#include "driver/kerf_main.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "driver/kerf_user_context.h"
#include "driver/output_sink.h"
#include "driver/run_header.h"
#include "driver/run_inputs.h"
#include "driver/usage.h"
#include "driver/version.h"
#include "lib/arg_list.h"
#include "lib/cmdline_ctx.h"
#include "lib/path_ops.h"

namespace kerf {

namespace {

// A process started with standard input, output or error closed would hand
// those descriptor numbers to the next files it opens: the results file
// could then receive the error messages. /dev/null holds the places
// instead. Standard output gets it read-only, so that writing the results
// there still fails and the run can say so.
void reserve_standard_descriptors() {
  const int read_only[] = {STDIN_FILENO, STDOUT_FILENO};
  for (const int fd : read_only) {
    if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", O_RDONLY);  // takes the lowest free number
  }
  if (::fcntl(STDERR_FILENO, F_GETFD) == -1) ::open("/dev/null", O_WRONLY);
}

bool is_help_request(const qv::arg_list& args) {
  if (args.size() <= 1) return true;
  for (const char* word : {"-h", "-help", "/?", "--help"}) {
    if (qv::has_option(word, args, 0)) return true;
  }
  return false;
}

// Writes the run header to standard output for a run that stops before its
// output is open.
void write_header_to_standard_output(const std::string& header) {
  std::cout << header << '\n';
  std::cout.flush();
}

// The part of the run after the options are parsed: everything goes to the
// output sink, and its state decides, together with the input's result, the
// exit status.
int run_with_output(kerf_user_context& options, qv::arg_list& args, const std::string& header) {
  output_sink out;
  if (!options.m_out_file.empty()) {
    // Only a bulk run adds to an earlier results file; in single-file mode
    // -append is a word too many and the usage is shown anyway.
    const bool keep_content = options.m_append && (options.m_pipe || options.m_enumdir);
    if (!out.open_results_file(options.m_out_file, keep_content)) {
      std::fprintf(stderr, "prob opening results file: %s for writing\n",
                   options.m_out_file.c_str());
      return kExitFailure;
    }
  }
  out.stream() << header << '\n';
  out.end_of_file();

  int status = kExitSuccess;
  if (options.m_pipe || options.m_enumdir) {
    status = run_inputs(options, out) ? kExitSuccess : kExitFailure;
  } else if (args.size() == 2) {
    options.m_input_path = qv::expand_env_vars(args[1], true);
    status = run_inputs(options, out) ? kExitSuccess : kExitFailure;
  } else {
    // No input named, or words that no option took.
    print_usage(options.m_progname);
  }

  // Reports that never arrived must not look like a finished run.
  if (!out.close()) {
    std::fputs("prob writing results\n", stderr);
    status = kExitFailure;
  }
  return status;
}

}  // namespace

int kerf_main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  reserve_standard_descriptors();

  qv::arg_list args = qv::make_arg_list(argc, argv);
  // Declared first, released last: its end-of-run work comes after the run
  // options are gone.
  qv::cmdline_ctx context;
  kerf_user_context options;
  options.m_cmdline = qv::join_arguments(args);

  if (is_help_request(args)) {
    print_usage(args.empty() ? std::string() : args[0]);
    return kExitSuccess;
  }

  const std::string header = build_run_header(args, read_run_facts());
  if (!parse_program_options(options, args, kVersionText)) {
    write_header_to_standard_output(header);
    return kExitFailure;
  }
  context.take_over(options);
  return run_with_output(options, args, header);
}

}  // namespace kerf
