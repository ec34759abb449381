// One file's road split in two, so that many files can be decoded at once
// while their reports and messages still come out in input order:
//
//   FileDecoder (any thread):  load -> render      into a FileResult
//   ResultWriter (one thread): messages, report, counts, in input order
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "driver/cli/run_settings.h"
#include "driver/input/input_name.h"
#include "driver/run/content_digest.h"
#include "lib/io/file.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "prefetch/loader.h"
#include "report/renderer.h"

namespace kerf {

class ChunkCarver;

// Where a name came from: typed by the examiner, who may name a file
// through symbolic links, or found by kerf in a pipe or a directory walk,
// where no link on the way to the file is followed, except within its
// first `followed` bytes (the walk's starting directory, which the examiner
// typed).
struct NameOrigin {
  bool found = false;
  std::size_t followed = 0;
};

// What became of one name.
enum class FileOutcome {
  reported,
  failed,   // handed to the decoder, no report: a message says why
  skipped,  // never decoded (a file this run writes to, a link not followed)
};

// One file, decoded and rendered, waiting to be written.
struct FileResult {
  std::string path;
  VolumeFileRef in_volume;  // where in a disk image the file was found; unset for a host file
  // With -vss: every copy holding the same bytes, this one first. Set with
  // the name, before decode(), which shows them.
  std::vector<SameCopy> copies;
  FileOutcome outcome = FileOutcome::failed;
  std::string reason;       // why it failed or was skipped
  std::string diagnostics;  // a line for the diagnostics file (an internal error)
  bool checksum_mismatch = false;  // reported, but its container's checksum does not hold
  RenderedFile rendered;
  // When the run carves: what the decoded Prefetch image holds, so that a
  // find with the same content as a file already reported is told apart.
  std::optional<ContentDigest> digest;

  // A piece of a stream to carve (set with the name), and what carving it
  // came to: the finds that decoded, in offset order, the hits that did
  // not, and a message for each range that could not be read.
  CarveChunk carve;
  std::vector<FileResult> finds;
  std::uint64_t hits_not_decoded = 0;
  std::vector<std::string> unreadable_ranges;
  // A find: the stream offset it starts at, and the bytes it takes there.
  std::uint64_t find_offset = 0;
  std::uint64_t find_length = 0;

  // What it holds in memory, for the bound on what waits to be written.
  std::size_t size() const noexcept {
    std::size_t bytes = path.size() + reason.size() + diagnostics.size() + rendered.size();
    for (const FileResult& find : finds) bytes += find.size();
    for (const std::string& range : unreadable_ranges) bytes += range.size();
    return bytes;
  }
  std::size_t finds_capacity() const noexcept {
    std::size_t bytes = finds.capacity() * sizeof(FileResult);
    for (const FileResult& find : finds) bytes += find.path.capacity() + find.rendered.text.capacity();
    return bytes;
  }
};

// The name a report shows for `path`: what follows its last '/' (on this
// system '\' is a character like any other in a file's name); the whole
// path when the '/' stands first or there is none; "." for a path ending in
// "..".
std::string input_name(const std::string& path);

// The name a report shows for a file found in a volume of a disk image: its
// last component inside the volume.
std::string volume_file_name(const VolumeEntry& entry);

// Loads and renders one file at a time; one per thread, reusing its buffers.
class FileDecoder {
 public:
  // `carving`: the run carves, so each file's content digest is taken.
  FileDecoder(const Renderer& renderer, std::vector<io::FileId> excluded, const DecodeOptions& options = {},
              bool carving = false);
  ~FileDecoder();
  FileDecoder(FileDecoder&&) noexcept;

  // The file at `path` (or, when `in_volume` is set, the file it names in
  // a disk image, shown as `path`), decoded and rendered into `result`.
  // Never throws: an exception (out of memory, say) makes a failed file.
  void decode(const std::string& path, const VolumeFileRef& in_volume, NameOrigin origin, FileResult& result);
  // The piece of a stream `result.carve` names, carved into `result`.
  // Never throws either.
  void carve(FileResult& result);

 private:
  const Renderer& m_renderer;
  std::vector<io::FileId> m_excluded;  // files this run writes to, never read
  PrefetchLoader m_loader;
  PrefetchRecord m_record;
  bool m_carving;
  std::unique_ptr<ChunkCarver> m_carver;  // made on the first piece
};

// Writes results in input order, on the one writing thread: the messages
// about the file (unless -quiet), its report or its place among the failed,
// and the run's counts.
class ResultWriter {
 public:
  // `diagnostics`: the -diags file, or null.
  ResultWriter(const RunSettings& settings, Renderer& renderer, io::OutputFile& out, io::File* diagnostics = nullptr)
      : m_settings(settings), m_renderer(renderer), m_out(out), m_diagnostics(diagnostics) {}

  void write(const FileResult& result, io::MessageSink& messages);

  const RunSummary& summary() const noexcept { return m_summary; }

 private:
  // The finds of one carved piece: each not inside an earlier find of its
  // stream, nor with the content of a file already reported.
  void write_finds(const FileResult& piece, io::MessageSink& messages);
  void write_reported(const FileResult& result, io::MessageSink& messages);

  const RunSettings& m_settings;
  Renderer& m_renderer;
  io::OutputFile& m_out;
  io::File* m_diagnostics;
  std::string m_text;
  RunSummary m_summary;
  // The stream last carved, and the end of its last find.
  const ByteStream* m_carved_stream = nullptr;
  std::uint64_t m_covered_until = 0;
  std::unordered_set<ContentDigest, ContentDigestHash> m_reported_content;
};

// "->" and `text`, escaped as every name kerf writes, and a line end: a
// file name holding a line break can't forge a second line, nor an escape
// sequence reach whoever reads the file on a terminal.
std::string diagnostics_line(std::string_view text);

// diagnostics_line(text), written to the diagnostics file when one is open.
void write_diagnostics_line(io::File* diagnostics, std::string_view text);

}  // namespace kerf
