#include "driver/run_loop.h"

#include <unistd.h>

#include "driver/name_source.h"
#include "driver/progress_line.h"
#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "lib/text/path_name.h"

namespace kerf {

namespace {

void write_diagnostics_line(const RunSettings& settings, std::string_view text) {
  if (!settings.diagnostics || !settings.diagnostics->is_open()) return;
  std::string line = "->";
  line += text;
  line += '\n';
  settings.diagnostics->write_all(line);
}

// "<prefix><name>: <reason>\n", the name escaped: a hostile file name must
// not steer the examiner's terminal.
std::string file_message(std::string_view prefix, std::string_view name, std::string_view reason) {
  std::string message(prefix);
  text::append_escaped(message, name);
  message += ": ";
  message += reason;
  message += '\n';
  return message;
}

void write_summary(const RunSummary& summary, io::MessageSink& messages) {
  std::string line = "kerf: ";
  text::append_decimal(line, summary.handed_on);
  line += summary.handed_on == 1 ? " file: " : " files: ";
  text::append_decimal(line, summary.reported);
  line += " reported, ";
  text::append_decimal(line, summary.failed);
  line += " failed\n";
  messages.write_message(line);
}

}  // namespace

std::string input_name(const std::string& path) {
  const std::size_t at = text::last_path_separator(path);
  if (at == std::string::npos || at == 0) return path;
  std::string name = path.substr(at + 1);
  if (name == "..") name.assign(1, '.');
  return name;
}

void FileReporter::fail(const InputFile& input, std::string_view reason, io::MessageSink& messages) {
  ++m_summary.failed;
  if (m_settings.messages_on) messages.write_message(file_message("prob reading file ", input.path, reason));
  m_text.clear();
  m_renderer.failed(input, reason, m_text);
  m_out.write(m_text);
}

// The one place where an exception ends: a file that can't be loaded or
// rendered (out of memory, say) is a failed file, and the run goes on.
FileOutcome FileReporter::decode_and_write(const InputFile& input, NameOrigin origin, io::MessageSink& messages) {
  const auto internal_error = [&](std::string_view what) {
    write_diagnostics_line(m_settings, "exception while reporting " + input.path + ": " + std::string(what));
    fail(input, "internal error: " + std::string(what), messages);
    return FileOutcome::failed;
  };
  LoadResult loaded;
  try {
    m_loader.set_links(origin == NameOrigin::found ? io::File::Links::refuse : io::File::Links::follow);
    loaded = m_loader.load(input.path, m_record);
  } catch (const std::exception& problem) {
    ++m_summary.handed_on;
    return internal_error(problem.what());
  }
  if (loaded.error == LoadError::symbolic_link || loaded.error == LoadError::excluded) {
    if (m_settings.messages_on) messages.write_message(file_message("skipped ", input.path, describe(loaded)));
    return FileOutcome::skipped;
  }
  ++m_summary.handed_on;
  if (!loaded.ok()) {
    fail(input, describe(loaded), messages);
    return FileOutcome::failed;
  }
  try {
    m_renderer.render(input, m_record, m_rendered);
    m_text.clear();
    m_renderer.emit(m_rendered, m_text);
  } catch (const std::exception& problem) {
    return internal_error(problem.what());
  }
  m_out.write(m_text);
  ++m_summary.reported;
  return FileOutcome::reported;
}

FileOutcome FileReporter::report(const std::string& path, NameOrigin origin, io::MessageSink& messages) {
  const FileOutcome outcome = decode_and_write(InputFile{path, input_name(path)}, origin, messages);
  // On a terminal each report shows before the messages about the next file.
  if (m_out.is_terminal()) m_out.flush();
  return outcome;
}

bool run_bulk(const RunSettings& settings, FileReporter& reporter, Renderer& renderer, io::OutputFile& out,
              io::MessageSink& messages, std::FILE* input) {
  NameSource names(settings.input, input);
  if (const std::string problem = names.start_problem(); !problem.empty() && settings.messages_on) {
    messages.write_message(problem);
  }
  std::string text;
  renderer.begin(text);
  out.write(text);
  if (out.is_terminal()) out.flush();

  // Problem messages pass through the progress line, so it can take itself
  // off the terminal before one is written.
  const bool show_progress = ::isatty(STDERR_FILENO) == 1 && settings.messages_on;
  ProgressLine progress(show_progress ? stderr : nullptr, out.is_terminal());
  io::MessageSink& problems = show_progress ? progress : messages;

  const NameOrigin origin = settings.input.names.empty() ? NameOrigin::found : NameOrigin::typed;
  std::string path;
  const auto tell_problems = [&] {
    if (!settings.messages_on) return;
    for (const std::string& problem : names.take_problems()) problems.write_message(problem);
  };
  while (names.next(path)) {
    tell_problems();
    write_diagnostics_line(settings, path);
    progress.before_file(path);
    const FileOutcome outcome = reporter.report(path, origin, problems);
    if (outcome != FileOutcome::skipped) progress.after_file(outcome == FileOutcome::reported);
  }
  tell_problems();
  progress.erase();
  const RunSummary& summary = reporter.summary();
  if (settings.messages_on) write_summary(summary, messages);
  return summary.handed_on > 0 && summary.failed == 0;
}

}  // namespace kerf
