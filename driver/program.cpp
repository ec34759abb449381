#include "driver/program.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "driver/arg_list.h"
#include "driver/end_of_run.h"
#include "driver/env_expand.h"
#include "driver/options.h"
#include "driver/run_header.h"
#include "driver/run_loop.h"
#include "driver/usage.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "report/renderer.h"

namespace kerf {

namespace {

// A process started with standard input, output or error closed would hand
// those descriptor numbers to the next files it opens: the results file
// could then receive the error messages. /dev/null holds the places
// instead. Standard output gets it read-only, so that writing the results
// there still fails and the run can say so.
void reserve_standard_descriptors() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO}) {
    if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", O_RDONLY);  // takes the lowest free number
  }
  if (::fcntl(STDERR_FILENO, F_GETFD) == -1) ::open("/dev/null", O_WRONLY);
}

bool is_help_request(const ArgList& args) {
  if (args.size() <= 1) return true;
  for (const char* word : {"-h", "-help", "/?", "--help"}) {
    if (args.has(word)) return true;
  }
  return false;
}

// The part of the run after the options are parsed: the output, the input
// mode, and the exit status from both.
int run_with_output(const RunSettings& settings, const ArgList& args, const RunFacts& facts,
                    const std::string& header, io::MessageSink& messages) {
  io::OutputFile out;
  if (!settings.results_file.empty()) {
    // Only a bulk run adds to an earlier results file; in single-file mode
    // -append is a word too many and the usage is shown anyway.
    const bool keep_content = settings.append && settings.input.bulk();
    if (!out.open_results_file(settings.results_file, keep_content)) {
      messages.write_message("prob opening results file: " + settings.results_file + " for writing\n");
      return kExitFailure;
    }
  }
  const std::unique_ptr<Renderer> renderer = make_renderer(settings.report);
  if (renderer->writes_run_header() && !settings.no_run_header) {
    out.write(header + '\n');
    if (out.is_terminal()) out.flush();
  }

  FileReporter reporter(settings, *renderer, out);
  int status = kExitSuccess;
  if (settings.input.bulk()) {
    status = run_bulk(settings, reporter, *renderer, out, messages) ? kExitSuccess : kExitFailure;
  } else if (args.size() == 2) {
    status = run_single_file(expand_env_vars(args[1]), reporter, messages) ? kExitSuccess : kExitFailure;
  } else {
    // No input named, or words that no option took.
    messages.write_message(usage_text(settings.program_name));
  }
  RunSummary summary = reporter.summary();
  summary.started = facts.started;
  std::string tail;
  renderer->end(summary, tail);
  out.write(tail);

  // Reports that never arrived must not look like a finished run.
  if (!out.close()) {
    messages.write_message("prob writing results\n");
    status = kExitFailure;
  }
  return status;
}

}  // namespace

int run_program(int argc, char** argv) {
  reserve_standard_descriptors();
  ArgList args(argc, argv);
  io::MessageSink messages;
  // Declared before the settings: its end-of-run work comes last.
  EndOfRun end_of_run(messages);

  if (is_help_request(args)) {
    messages.write_message(usage_text(args.size() == 0 ? std::string() : args[0]));
    return kExitSuccess;
  }
  const RunFacts facts = read_run_facts();
  const std::string header = build_run_header(args, facts);
  // Read before parsing takes the options out: a refused run writes no
  // header where the output was to have none (JSON Lines stay pure).
  const bool headerless = asks_for_headerless_output(args);
  const std::optional<RunSettings> settings = parse_command_line(args, messages);
  if (!settings) {
    if (!headerless) io::write_fully(STDOUT_FILENO, header + '\n');
    return kExitFailure;
  }
  end_of_run.arm(*settings);
  return run_with_output(*settings, args, facts, header, messages);
}

}  // namespace kerf
