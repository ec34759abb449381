#include "driver/program.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "driver/arg_list.h"
#include "driver/end_of_run.h"
#include "driver/file_result.h"
#include "driver/option_reference.h"
#include "driver/options.h"
#include "driver/run_header.h"
#include "driver/run_loop.h"
#include "driver/usage.h"
#include "driver/version.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "lib/io/system_error.h"
#include "lib/text/escape.h"
#include "prefetch/loader.h"
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

enum class HelpRequest { none, usage, reference, version };

// --help asks for the whole option reference, the other help words (and an
// empty command line) for the short usage, wherever they stand. --help wins
// over the other help words, they win over --version, and all of them over
// a run.
HelpRequest help_request(const ArgList& args) {
  if (args.size() <= 1) return HelpRequest::usage;
  if (args.has("--help")) return HelpRequest::reference;
  for (const char* word : {"-h", "-help", "/?"}) {
    if (args.has(word)) return HelpRequest::usage;
  }
  return args.has("--version") ? HelpRequest::version : HelpRequest::none;
}

// The reference and the version go to standard output, where a pager or a
// script reads them; a text that could not be written there fails the run.
int answer_on_standard_output(const std::string& text, io::MessageSink& messages) {
  if (io::write_fully(STDOUT_FILENO, text)) return kExitSuccess;
  messages.write_message("prob writing to standard output\n");
  return kExitFailure;
}

std::string cannot_write_message(const std::string& path, std::string_view reason) {
  std::string message = "prob opening file ";
  text::append_escaped(message, path);
  message += " for output, aborting: ";
  message += reason;
  message += '\n';
  return message;
}

// Why kerf may not write its results or diagnostics to `path`: it is a file
// the examiner asked kerf to read, or it holds a Prefetch file (kerf's own
// output never does). Empty when it may; a file that does not exist yet may
// always be written.
std::string evidence_problem(const std::string& path, const std::vector<std::string>& input_names) {
  const std::optional<io::FileId> id = io::file_id(path);
  if (!id) return {};
  for (const std::string& name : input_names) {
    if (io::file_id(name) == id) return "it is an input file";
  }
  io::File file;
  std::vector<std::uint8_t> head;
  if (file.open_for_read(path) && file.read_at(head, 16, 0) && starts_like_prefetch_file(head)) {
    return "it holds a Prefetch file";
  }
  return {};
}

class RunOutput {
 public:
  // Opens the diagnostics and results files the settings name, after
  // checking that neither is evidence. False (with the message written) when
  // the run must stop.
  bool open(RunSettings& settings, io::MessageSink& messages) {
    for (const std::string* path : {&settings.diagnostics_path, &settings.results_file}) {
      if (path->empty()) continue;
      if (const std::string problem = evidence_problem(*path, settings.input.names); !problem.empty()) {
        messages.write_message(cannot_write_message(*path, problem));
        return false;
      }
    }
    if (!settings.diagnostics_path.empty()) {
      // Diagnostics are a help, not part of the results: a file that can't
      // be opened is dropped without a word.
      auto file = std::make_shared<io::File>();
      if (file->open_for_write(settings.diagnostics_path, io::File::WriteMode::truncate)) {
        file->write_all(diagnostics_line(settings.command_line));
        settings.diagnostics = std::move(file);
        if (const auto id = io::file_id(settings.diagnostics_path)) m_written.push_back(*id);
      }
    }
    if (!settings.results_file.empty()) {
      if (!m_out.open_results_file(settings.results_file, settings.append)) {
        messages.write_message(cannot_write_message(settings.results_file, io::system_error_text(m_out.error())));
        return false;
      }
      if (const auto id = io::file_id(settings.results_file)) m_written.push_back(*id);
    }
    return true;
  }

  io::OutputFile& out() { return m_out; }
  // The files this run writes to, which it must never read.
  const std::vector<io::FileId>& written() const { return m_written; }

 private:
  io::OutputFile m_out;
  std::vector<io::FileId> m_written;
};

// The part of the run after the options are parsed: the output, the input
// mode, and the exit status from both.
int run_with_output(RunSettings& settings, const RunFacts& facts, const std::string& header,
                    io::MessageSink& messages) {
  const std::unique_ptr<Renderer> renderer = make_renderer(settings.report);
  const bool wants_header = renderer->writes_run_header() && !settings.no_run_header;
  RunOutput output;
  if (!output.open(settings, messages)) {
    if (wants_header) io::write_fully(STDOUT_FILENO, header + '\n');
    return kExitFailure;
  }
  io::OutputFile& out = output.out();
  if (wants_header) {
    out.write(header + '\n');
    if (out.is_terminal()) out.flush();
  }

  RunSummary summary = settings.input.bulk() ? run_bulk(settings, *renderer, out, output.written(), messages)
                                              : run_single_file(settings, *renderer, out, output.written(), messages);
  summary.started = facts.started;
  std::string tail;
  renderer->end(summary, tail);
  out.write(tail);

  // Reports that never arrived must not look like a finished run.
  if (!out.close()) {
    messages.write_message("prob writing results\n");
    return kExitFailure;
  }
  return summary.succeeded() ? kExitSuccess : kExitFailure;
}

}  // namespace

int run_program(int argc, char** argv) {
  reserve_standard_descriptors();
  ArgList args(argc, argv);
  io::MessageSink messages;

  switch (help_request(args)) {
    case HelpRequest::usage:
      messages.write_message(usage_text(args.size() == 0 ? std::string() : args[0]));
      return kExitSuccess;
    case HelpRequest::reference:
      return answer_on_standard_output(option_reference(), messages);
    case HelpRequest::version:
      return answer_on_standard_output("kerf " + std::string(kVersion) + '\n', messages);
    case HelpRequest::none:
      break;
  }
  const RunFacts facts = read_run_facts();
  const std::string header = build_run_header(args, facts);
  // Read before parsing takes the options out: a refused run writes no
  // header where the output was to have none (JSON Lines stay pure).
  const bool headerless = asks_for_headerless_output(args);
  std::optional<RunSettings> settings = parse_command_line(args, messages);
  if (!settings) {
    if (!headerless) io::write_fully(STDOUT_FILENO, header + '\n');
    return kExitFailure;
  }
  const auto started = std::chrono::steady_clock::now();
  int status = kExitFailure;
  // Nothing below throws on its own; memory running out is the one way an
  // exception could get here, and it must not end the run without a word.
  try {
    status = run_with_output(*settings, facts, header, messages);
  } catch (const std::exception& problem) {
    messages.write_message(std::string("kerf: internal error: ") + problem.what() + "\n");
  }
  finish_run(*settings, started, messages);
  return status;
}

}  // namespace kerf
