#include "driver/run/run_loop.h"

#include <unistd.h>

#include <string>
#include <string_view>

#include "driver/input/name_source.h"
#include "driver/run/parallel_decoding.h"
#include "driver/run/progress_line.h"
#include "lib/text/numbers.h"

namespace kerf {

namespace {

// ", <count> <what>", the singular or the plural as the count asks.
void append_count(std::string& line, std::uint64_t count, std::string_view one, std::string_view many) {
  line += ", ";
  text::append_decimal(line, count);
  line += count == 1 ? one : many;
}

void write_summary(const RunSummary& summary, io::MessageSink& messages) {
  std::string line = "kerf: ";
  text::append_decimal(line, summary.handed_on);
  line += summary.handed_on == 1 ? " file: " : " files: ";
  text::append_decimal(line, summary.reported);
  line += " reported, ";
  text::append_decimal(line, summary.failed);
  line += " failed";
  if (summary.unreadable_directories != 0) {
    append_count(line, summary.unreadable_directories, " directory unreadable", " directories unreadable");
  }
  if (summary.unreadable_volumes != 0) {
    append_count(line, summary.unreadable_volumes, " image or volume unreadable", " images or volumes unreadable");
  }
  if (summary.carved_streams != 0) {
    append_count(line, summary.carved_streams, " stream carved (", " streams carved (");
    text::append_decimal(line, summary.hits_not_decoded);
    line += summary.hits_not_decoded == 1 ? " hit did not decode, " : " hits did not decode, ";
    text::append_decimal(line, summary.repeated_finds);
    line += summary.repeated_finds == 1 ? " find repeated a reported file)" : " finds repeated reported files)";
  }
  if (summary.unreadable_ranges != 0) {
    append_count(line, summary.unreadable_ranges, " carved range unreadable", " carved ranges unreadable");
  }
  line += '\n';
  messages.write_message(line);
}

}  // namespace

RunSummary run_single_file(const RunSettings& settings, io::File* diagnostics, Renderer& renderer, io::OutputFile& out,
                           const std::vector<io::FileId>& excluded, io::MessageSink& messages) {
  FileDecoder decoder(renderer, excluded, decode_options(renderer));
  ResultWriter writer(settings, renderer, out, diagnostics);
  FileResult result;
  const std::string& name = settings.input.names.front();
  // The time window screens a single file too; one left out is named, as
  // there is no count at the end of the run to show it. A file that is not
  // there is the decoder's to report.
  if (!inside_time_window(settings.input.window, name) && io::file_id(name)) {
    result.path = name;
    result.outcome = FileOutcome::skipped;
    result.reason = "modified outside the time window";
  } else {
    decoder.decode(name, {}, NameOrigin{}, result);
  }
  writer.write(result, messages);
  return writer.summary();
}

DecodeOptions decode_options(const Renderer& renderer) {
  DecodeOptions options;
  options.check_executable_hash = renderer.needs_hash_check();
  options.read_file_references = renderer.needs_file_references();
  options.read_birth_time = renderer.needs_birth_time();
  options.look_up_loaded_files = renderer.needs_loaded_file_fates();
  return options;
}

RunSummary run_bulk(const RunSettings& settings, io::File* diagnostics, Renderer& renderer, io::OutputFile& out,
                    const std::vector<io::FileId>& excluded, io::MessageSink& messages, std::FILE* input,
                    const std::vector<std::unique_ptr<OpenedImage>>& images,
                    const std::vector<std::string>& image_problems,
                    const std::vector<std::unique_ptr<ByteStream>>& carve_streams,
                    const std::vector<std::string>& carve_problems) {
  NameSource names(settings.input, input, images, carve_streams);
  const std::string start_problem = names.start_problem();
  if (!start_problem.empty() && settings.messages_on) messages.write_message(start_problem);
  if (settings.messages_on) {
    for (const std::string& problem : image_problems) messages.write_message(problem);
    for (const std::string& problem : carve_problems) messages.write_message(problem);
  }
  std::string text;
  renderer.begin(text);
  out.write(text);
  if (out.is_terminal()) out.flush();

  // Messages pass through the progress line, so it can take itself off the
  // terminal before one is written.
  const bool show_progress = ::isatty(STDERR_FILENO) == 1 && settings.messages_on;
  ProgressLine progress(show_progress ? stderr : nullptr, out.is_terminal());
  io::MessageSink& problems = show_progress ? progress : messages;
  const auto tell = [&](const std::string& message) {
    if (settings.messages_on) problems.write_message(message);
  };

  ResultWriter writer(settings, renderer, out, diagnostics);
  const auto write = [&](const FileResult& result) {
    progress.before_file(result.path);
    writer.write(result, problems);
    if (result.outcome != FileOutcome::skipped) progress.after_file(result.outcome == FileOutcome::reported);
  };

  const NameOrigin origin =
      settings.input.names.empty() ? NameOrigin{true, names.followed_length()} : NameOrigin{};
  const unsigned threads = settings.threads != 0 ? settings.threads : available_cpus();
  const bool carving = settings.input.carve;
  if (threads <= 1) {
    FileDecoder decoder(renderer, excluded, decode_options(renderer), carving);
    FileResult result;
    InputName name;
    while (names.next(name)) {
      for (const std::string& problem : names.take_problems()) tell(problem);
      // Written before the file is decoded, so that the diagnostics file
      // names the file a crash would have come from.
      write_diagnostics_line(diagnostics, name.path);
      result.copies.swap(name.copies);
      result.carve = name.carve;
      if (result.carve.is_set()) {
        result.path = name.path;
        decoder.carve(result);
      } else {
        decoder.decode(name.path, name.in_volume, origin, result);
      }
      write(result);
    }
    for (const std::string& problem : names.take_problems()) tell(problem);
  } else {
    ParallelDecoding(threads, renderer, excluded, decode_options(renderer), carving).run(names, origin, [&](const ParallelDecoding::Item& item) {
      if (item.is_message) {
        tell(item.message);
        return;
      }
      write_diagnostics_line(diagnostics, item.result.path);
      write(item.result);
    });
  }
  progress.erase();
  RunSummary summary = writer.summary();
  summary.unreadable_directories = names.unreadable_directories() + (start_problem.empty() ? 0 : 1);
  summary.unreadable_volumes = image_problems.size();
  summary.carved_streams = carve_streams.size();
  summary.unreadable_ranges += carve_problems.size();
  if (settings.messages_on) write_summary(summary, messages);
  return summary;
}

}  // namespace kerf
