#include "driver/run/file_result.h"

#include <memory>
#include <optional>

#include "lib/text/escape.h"
#include "driver/run/chunk_carver.h"
#include "sources/host_file.h"

namespace kerf {

namespace {

// "<prefix><name>: <reason>\n", the name escaped: a hostile file name must
// not steer the examiner's terminal.
std::string file_message(std::string_view prefix, std::string_view name, std::string_view reason) {
  return text::message_naming(prefix, name, ": " + std::string(reason) + "\n");
}

}  // namespace

std::string diagnostics_line(std::string_view text) { return text::message_naming("->", text, "\n"); }

void write_diagnostics_line(io::File* diagnostics, std::string_view text) {
  if (diagnostics == nullptr || !diagnostics->is_open()) return;
  diagnostics->write_all(diagnostics_line(text));
}

std::string input_name(const std::string& path) {
  const std::size_t at = path.rfind('/');
  if (at == std::string::npos || at == 0) return path;
  std::string name = path.substr(at + 1);
  if (name == "..") name.assign(1, '.');
  return name;
}

std::string volume_file_name(const VolumeEntry& entry) {
  return entry.path.substr(entry.path.rfind('\\') + 1);  // the whole path when it holds no '\'
}

FileDecoder::FileDecoder(const Renderer& renderer, std::vector<io::FileId> excluded, const DecodeOptions& options,
                         bool carving)
    : m_renderer(renderer), m_excluded(std::move(excluded)), m_loader(options), m_carving(carving) {}

FileDecoder::~FileDecoder() = default;
FileDecoder::FileDecoder(FileDecoder&&) noexcept = default;

void FileDecoder::carve(FileResult& result) {
  result.reason.clear();
  result.diagnostics.clear();
  result.rendered.clear();
  result.digest.reset();
  result.outcome = FileOutcome::reported;
  try {
    if (!m_carver) m_carver = std::make_unique<ChunkCarver>(m_renderer, m_loader.options());
    m_carver->carve(result);
  } catch (const std::exception& problem) {
    result.finds.clear();
    result.unreadable_ranges.push_back(text::message_naming("kerf: ", result.path, ": internal error: " + std::string(problem.what()) + "\n"));
    result.diagnostics = "exception while carving " + result.path + ": " + problem.what();
  }
}

// The one place where an exception ends: a file that can't be loaded or
// rendered (out of memory, say) is a failed file, and the run goes on.
void FileDecoder::decode(const std::string& path, const VolumeFileRef& in_volume, NameOrigin origin,
                         FileResult& result) {
  result.path = path;
  result.in_volume = in_volume;
  result.reason.clear();
  result.diagnostics.clear();
  result.checksum_mismatch = false;
  result.rendered.clear();
  result.digest.reset();
  result.outcome = FileOutcome::failed;
  try {
    // A host file lives on the stack, as loose files are the common case; a
    // file in an image comes from its volume.
    std::optional<HostFile> host;
    std::unique_ptr<InputSource> in_image;
    if (result.in_volume.is_set()) {
      const VolumeFileRef& ref = result.in_volume;
      in_image = ref.image->open_file(*ref.copy, ref.entry, result.path);
    } else {
      host.emplace(result.path, origin.found ? io::File::Links::refuse : io::File::Links::follow, origin.followed,
                   m_excluded);
    }
    InputSource& source = host ? static_cast<InputSource&>(*host) : *in_image;
    const LoadResult loaded = m_loader.load(source, m_record);
    if (!loaded.ok()) {
      result.reason = describe(loaded);
      const bool never_read = loaded.error == LoadError::symbolic_link || loaded.error == LoadError::excluded;
      result.outcome = never_read ? FileOutcome::skipped : FileOutcome::failed;
      return;
    }
    // A file whose checksum does not hold is still reported: the examiner
    // sees what it holds, and is told.
    result.checksum_mismatch = m_record.checksum_present && !m_record.checksum_matches;
    if (m_carving) result.digest = digest_of(m_loader.image());
    InputFile input{result.path, {}, result.copies};
    input.name = result.in_volume.is_set() ? volume_file_name(result.in_volume.entry) : input_name(input.path);
    m_renderer.render(input, m_record, result.rendered);
    result.outcome = FileOutcome::reported;
  } catch (const std::exception& problem) {
    result.rendered.clear();
    result.reason = "internal error: " + std::string(problem.what());
    result.diagnostics = "exception while reporting " + path + ": " + problem.what();
  }
}

void ResultWriter::write(const FileResult& result, io::MessageSink& messages) {
  if (!result.diagnostics.empty()) write_diagnostics_line(m_diagnostics, result.diagnostics);
  m_text.clear();
  switch (result.outcome) {
    case FileOutcome::skipped:
      if (m_settings.messages_on) messages.write_message(file_message("skipped ", result.path, result.reason));
      break;
    case FileOutcome::failed:
      ++m_summary.handed_on;
      ++m_summary.failed;
      if (m_settings.messages_on) messages.write_message(file_message("prob reading file ", result.path, result.reason));
      m_renderer.failed(InputFile{result.path,
                                  result.in_volume.is_set() ? volume_file_name(result.in_volume.entry)
                                                            : input_name(result.path),
                                  result.copies},
                        result.reason, m_text);
      break;
    case FileOutcome::reported:
      if (result.carve.is_set()) {
        write_finds(result, messages);
        return;
      }
      write_reported(result, messages);
      return;
  }
  m_out.write(m_text);
  // On a terminal each report shows before the messages about the next file.
  if (m_out.is_terminal()) m_out.flush();
}

void ResultWriter::write_reported(const FileResult& result, io::MessageSink& messages) {
  if (result.checksum_mismatch && m_settings.messages_on) {
    messages.write_message(text::message_naming("checksum mismatch in ", result.path, "\n"));
  }
  ++m_summary.handed_on;
  ++m_summary.reported;
  if (result.digest) m_reported_content.insert(*result.digest);
  m_text.clear();
  m_renderer.emit(result.rendered, m_text);
  m_out.write(m_text);
  if (m_out.is_terminal()) m_out.flush();
}

void ResultWriter::write_finds(const FileResult& piece, io::MessageSink& messages) {
  if (piece.carve.stream != m_carved_stream) {
    m_carved_stream = piece.carve.stream;
    m_covered_until = 0;
  }
  for (const std::string& range : piece.unreadable_ranges) {
    ++m_summary.unreadable_ranges;
    if (m_settings.messages_on) messages.write_message(range);
  }
  m_summary.hits_not_decoded += piece.hits_not_decoded;
  for (const FileResult& find : piece.finds) {
    // A find inside an earlier one (a file kept whole inside another, or
    // signature bytes inside compressed data) is part of that one.
    if (find.find_offset < m_covered_until) continue;
    m_covered_until = find.find_offset + find.find_length;
    if (find.digest && m_reported_content.count(*find.digest) != 0) {
      ++m_summary.repeated_finds;
      continue;
    }
    write_reported(find, messages);
  }
}

}  // namespace kerf
