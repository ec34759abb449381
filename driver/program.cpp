#include "driver/program.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "driver/cli/arg_list.h"
#include "driver/run/end_of_run.h"
#include "driver/run/file_result.h"
#include "driver/cli/option_reference.h"
#include "driver/cli/options.h"
#include "driver/run/output_guard.h"
#include "driver/cli/run_header.h"
#include "driver/run/run_loop.h"
#include "driver/cli/usage.h"
#include "driver/cli/version.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "lib/io/system_error.h"
#include "lib/text/escape.h"
#include "report/renderer.h"
#include "sources/carve/file_byte_stream.h"
#include "sources/image/opened_image.h"

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

// The reference and the version go to standard output, where a pager or a
// script reads them; a text that could not be written there fails the run.
int answer_on_standard_output(const std::string& text, io::MessageSink& messages) {
  if (io::write_fully(STDOUT_FILENO, text)) return kExitSuccess;
  messages.write_message("prob writing to standard output\n");
  return kExitFailure;
}

std::string cannot_write_message(const std::string& path, std::string_view reason) {
  return text::message_naming("prob opening file ", path, " for output, aborting: " + std::string(reason) + "\n");
}

// A refusal of an output file, in the words of a failed open.
std::string refusal(const OutputTarget& target, std::string_view reason) {
  if (target.standard_output()) return "prob writing to standard output, aborting: " + std::string(reason) + "\n";
  return cannot_write_message(target.path, reason);
}

class RunOutput {
 public:
  // Checks every file the run is to write (the diagnostics, the results,
  // standard output when it takes the results and is a regular file), then
  // opens them and only then empties them, so that a run refused on the way
  // has written nothing. False (with the message written) when the run must
  // stop. The diagnostics file is handed back in `diagnostics_file` once it is
  // open and emptied.
  bool open(const RunSettings& settings, std::span<const io::FileId> image_files,
            std::unique_ptr<io::File>& diagnostics_file, io::MessageSink& messages) {
    const OutputTarget diagnostics{settings.diagnostics_path};
    const OutputTarget results{settings.results_file};
    std::vector<OutputTarget> targets;
    if (!diagnostics.path.empty()) targets.push_back(diagnostics);
    if (!results.path.empty() || standard_output_is_regular_file()) targets.push_back(results);

    if (!diagnostics.path.empty() && targets.size() == 2 && same_output_file(diagnostics, results)) {
      messages.write_message(cannot_write_message(
          diagnostics.path, results.standard_output() ? "it is standard output too" : "it is the results file too"));
      return false;
    }
    for (const OutputTarget& target : targets) {
      if (const std::string problem = evidence_problem(target, settings.input, image_files); !problem.empty()) {
        messages.write_message(refusal(target, problem));
        return false;
      }
    }
    if (!open_files(settings, diagnostics_file, messages)) {
      for (const std::string& path : m_created) ::unlink(path.c_str());
      return false;
    }
    for (const OutputTarget& target : targets) {
      if (const auto id = output_file_id(target)) m_written.push_back(*id);
    }
    return true;
  }

  io::OutputFile& out() { return m_out; }
  // The files this run writes to, which it must never read.
  const std::vector<io::FileId>& written() const { return m_written; }

 private:
  // Opens without emptying, checks that the two files did not turn out to
  // be one (a symbolic link that led nowhere yet), then empties them.
  bool open_files(const RunSettings& settings, std::unique_ptr<io::File>& diagnostics_file, io::MessageSink& messages) {
    const std::string& diagnostics_path = settings.diagnostics_path;
    const std::string& results_path = settings.results_file;
    auto diagnostics = std::make_unique<io::File>();
    if (!diagnostics_path.empty()) {
      const bool existed = io::file_id(diagnostics_path).has_value();
      if (!diagnostics->open_for_write(diagnostics_path, io::File::WriteMode::append)) {
        messages.write_message(cannot_write_message(diagnostics_path, io::system_error_text(diagnostics->error())));
        return false;
      }
      if (!existed) m_created.push_back(diagnostics_path);
    }
    if (!results_path.empty()) {
      const bool existed = io::file_id(results_path).has_value();
      if (!m_out.open_results_file(results_path, true)) {
        messages.write_message(cannot_write_message(results_path, io::system_error_text(m_out.error())));
        return false;
      }
      if (!existed) m_created.push_back(results_path);
      if (!diagnostics_path.empty() && same_output_file(OutputTarget{diagnostics_path}, OutputTarget{results_path})) {
        messages.write_message(cannot_write_message(diagnostics_path, "it is the results file too"));
        return false;
      }
      if (!settings.append && !m_out.discard_content()) {
        messages.write_message(cannot_write_message(results_path, io::system_error_text(m_out.error())));
        return false;
      }
    }
    if (!diagnostics_path.empty()) {
      if (!diagnostics->discard_content()) {
        messages.write_message(cannot_write_message(diagnostics_path, io::system_error_text(diagnostics->error())));
        return false;
      }
      diagnostics->write_all(diagnostics_line(settings.command_line));
      diagnostics_file = std::move(diagnostics);
    }
    return true;
  }

  io::OutputFile m_out;
  std::vector<io::FileId> m_written;
  std::vector<std::string> m_created;
};

// Opens what -carve scans: the free clusters of every volume (and store)
// of the images, then each file named. A file that can't be opened is a
// problem line, told in the run.
void open_carve_streams(const InputSettings& input, const std::vector<std::unique_ptr<OpenedImage>>& images,
                        std::vector<std::unique_ptr<ByteStream>>& streams, std::vector<std::string>& problems) {
  for (const auto& image : images) {
    for (const VolumeCopy& copy : image->copies()) {
      std::string reason;
      if (std::unique_ptr<ByteStream> stream = image->free_space(copy, reason)) {
        streams.push_back(std::move(stream));
      } else {
        problems.push_back(text::message_naming("kerf: can't carve ", image->copy_name(copy), ": " + reason + "\n"));
      }
    }
  }
  for (const std::string& path : input.carve_files) {
    int error = 0;
    if (std::unique_ptr<FileByteStream> stream = FileByteStream::open(path, error)) {
      streams.push_back(std::move(stream));
    } else {
      problems.push_back(text::message_naming("kerf: can't carve ", path, ": " + io::system_error_text(error) + "\n"));
    }
  }
}

// The part of the run after the options are parsed: the output, the input
// mode, and the exit status from both.
int run_with_output(const RunSettings& settings, std::unique_ptr<io::File>& diagnostics, const RunFacts& facts,
                    const std::string& header, io::MessageSink& messages) {
  const std::unique_ptr<Renderer> renderer = make_renderer(settings.report);
  const bool wants_header = renderer->writes_run_header() && !settings.no_run_header;
  // The images are opened (read-only) before any output, so that an output
  // onto one of their files is refused; their problems are told in the run.
  std::vector<std::unique_ptr<OpenedImage>> images;
  std::vector<std::string> image_problems;
  std::vector<io::FileId> image_files;
  for (const std::string& path : settings.input.images) {
    if (std::unique_ptr<OpenedImage> image = OpenedImage::open(path, image_problems, settings.input.shadows)) {
      const std::vector<io::FileId>& ids = image->image().file_ids();
      image_files.insert(image_files.end(), ids.begin(), ids.end());
      images.push_back(std::move(image));
    }
  }
  // The streams to carve: each image's volumes' free space, then the files
  // named.
  std::vector<std::unique_ptr<ByteStream>> carve_streams;
  std::vector<std::string> carve_problems;
  if (settings.input.carve) open_carve_streams(settings.input, images, carve_streams, carve_problems);
  RunOutput output;
  if (!output.open(settings, image_files, diagnostics, messages)) return kExitFailure;
  io::OutputFile& out = output.out();
  if (wants_header) {
    out.write(header + '\n');
    if (out.is_terminal()) out.flush();
  }

  io::File* const log = diagnostics.get();
  RunSummary summary = settings.input.bulk() ? run_bulk(settings, log, *renderer, out, output.written(), messages,
                                                       stdin, images, image_problems, carve_streams, carve_problems)
                                              : run_single_file(settings, log, *renderer, out, output.written(), messages);
  summary.started = facts.started;
  std::string tail;
  renderer->end(summary, tail);
  out.write(tail);

  // What reading the images cost, beside the run's duration: only what the
  // Prefetch folders needed should have been read.
  if (settings.profile && !images.empty()) {
    std::uint64_t bytes = 0;
    for (const auto& image : images) bytes += image->image().bytes_read();
    const std::string line = "->" + std::to_string(bytes) + " bytes read from disk images\n";
    messages.write_message(line);
    if (log != nullptr && log->is_open()) log->write_all(line);
  }

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

  // A help word is answered wherever it stands, even where an option would
  // take it for its value, and whatever else is given.
  switch (help_answer(args)) {
    case HelpAnswer::usage:
      messages.write_message(usage_text(args.size() == 0 ? std::string() : args[0]));
      return kExitSuccess;
    case HelpAnswer::reference:
      return answer_on_standard_output(option_reference(), messages);
    case HelpAnswer::version:
      return answer_on_standard_output("kerf " + std::string(kVersion) + '\n', messages);
    case HelpAnswer::none:
      break;
  }
  const RunFacts facts = read_run_facts();
  // A refused command line writes nothing where the results were to go: a
  // header alone there would look like the start of a run.
  const std::optional<RunSettings> settings = parse_command_line(args, messages);
  if (!settings) return kExitFailure;
  const std::string header = build_run_header(settings->header, facts);
  const auto started = std::chrono::steady_clock::now();
  int status = kExitFailure;
  std::unique_ptr<io::File> diagnostics;  // the -diags file, once open
  // Nothing below throws on its own; memory running out is the one way an
  // exception could get here, and it must not end the run without a word.
  try {
    status = run_with_output(*settings, diagnostics, facts, header, messages);
  } catch (const std::exception& problem) {
    messages.write_message(std::string("kerf: internal error: ") + problem.what() + "\n");
  }
  finish_run(*settings, diagnostics.get(), started, messages);
  // The diagnostics name the file a crash came from: lines that never
  // arrived fail the run, as lost results do.
  if (diagnostics && (diagnostics->write_failed() || !diagnostics->close())) {
    messages.write_message("prob writing diagnostics\n");
    status = kExitFailure;
  }
  return status;
}

}  // namespace kerf
