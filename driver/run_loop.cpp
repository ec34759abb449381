#include "driver/run_loop.h"

#include <unistd.h>

#include "driver/env_expand.h"
#include "driver/name_source.h"
#include "driver/progress_line.h"
#include "lib/text/escape.h"
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

}  // namespace

std::string input_name(const std::string& path) {
  const std::size_t at = text::last_path_separator(path);
  if (at == std::string::npos || at == 0) return path;
  std::string name = path.substr(at + 1);
  if (name == "..") name = ".";
  return name;
}

DecodeOptions decode_options(const RunSettings& settings) {
  DecodeOptions options;
  options.check_executable_hash = settings.report.verify;
  return options;
}

void FileReporter::write_failure(const InputFile& input, std::string_view reason) {
  ++m_summary.failed;
  m_text.clear();
  m_renderer.failed(input, reason, m_text);
  m_out.write(m_text);
}

bool FileReporter::report(const std::string& path, io::MessageSink& messages) {
  const InputFile input{path, input_name(path)};
  ++m_summary.handed_on;
  bool reported = false;
  // The one place where an exception of any kind ends: a file that can't be
  // loaded or rendered is a failed file, and the run goes on with the next.
  try {
    const LoadResult loaded = m_loader.load(path, m_record);
    if (loaded.error == LoadError::unreadable && m_settings.messages_on) {
      std::string message = "prob reading file ";
      text::append_escaped(message, path);
      message += '\n';
      messages.write_message(message);
    }
    if (loaded.ok() && m_record.checksum_present && !m_record.checksum_matches && m_settings.messages_on) {
      std::string message = "checksum mismatch in ";
      text::append_escaped(message, path);
      message += '\n';
      messages.write_message(message);
    }
    if (loaded.ok()) {
      m_renderer.render(input, m_record, m_rendered);
      m_text.clear();
      m_renderer.emit(m_rendered, m_text);
      m_out.write(m_text);
      reported = true;
      ++m_summary.reported;
    } else {
      write_failure(input, describe(loaded));
    }
  } catch (...) {
    write_diagnostics_line(m_settings, "output_prefetch_entry: exception caught");
    if (!reported) write_failure(input, "an internal error while it was reported");
  }
  // On a terminal each report shows before the messages about the next file.
  if (m_out.is_terminal()) m_out.flush();
  return reported;
}

bool run_single_file(const std::string& path, FileReporter& reporter, io::MessageSink& messages) {
  return reporter.report(path, messages);
}

bool run_bulk(const RunSettings& settings, FileReporter& reporter, Renderer& renderer, io::OutputFile& out,
              io::MessageSink& messages, std::FILE* input) {
  NameSource names(settings.input, input);
  if (!names.is_open()) return false;
  std::string text;
  renderer.begin(text);
  out.write(text);
  if (out.is_terminal()) out.flush();

  // Problem messages pass through the progress line, so it can take itself
  // off the terminal before one is written.
  const bool show_progress = ::isatty(STDERR_FILENO) == 1 && settings.messages_on;
  ProgressLine progress(show_progress ? stderr : nullptr, out.is_terminal());
  io::MessageSink& problems = show_progress ? progress : messages;

  bool reported = false;  // the last file's result; false while none was handed on
  std::string name;
  while (names.next(name)) {
    const std::string path = expand_env_vars(name);
    write_diagnostics_line(settings, path);
    progress.before_file(path);
    reported = reporter.report(path, problems);
    progress.after_file(reported);
  }
  progress.erase();
  return reported;
}

}  // namespace kerf
