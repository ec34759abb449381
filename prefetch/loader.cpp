#include "prefetch/loader.h"

#include "lib/io/system_error.h"
#include "prefetch/loaded_file_fates.h"
#include "prefetch/parser.h"

namespace kerf {

namespace {

// A source's failure in the loader's terms: the same reasons.
LoadError load_error(SourceError error) {
  switch (error) {
    case SourceError::none: return LoadError::none;
    case SourceError::cannot_open: return LoadError::cannot_open;
    case SourceError::not_regular: return LoadError::not_regular;
    case SourceError::symbolic_link: return LoadError::symbolic_link;
    case SourceError::is_directory: return LoadError::is_directory;
    case SourceError::excluded: return LoadError::excluded;
    case SourceError::empty: return LoadError::empty;
    case SourceError::unreadable: return LoadError::unreadable;
    case SourceError::cannot_read: break;
  }
  return LoadError::cannot_read;
}

LoadResult load_result(SourceStatus status) {
  return {load_error(status.error), status.system_error, status.reason};
}

}  // namespace

std::string describe(const LoadResult& result) {
  switch (result.error) {
    case LoadError::none: return {};
    case LoadError::cannot_open:
    case LoadError::cannot_read: return io::system_error_text(result.system_error);
    case LoadError::unreadable: return result.reason != nullptr ? result.reason : "its data can't be read";
    case LoadError::not_regular: return "not a regular file";
    case LoadError::symbolic_link: return "symbolic link, not followed";
    case LoadError::is_directory: return "is a directory";
    case LoadError::empty: return "empty file";
    case LoadError::excluded: return "it is a file this run writes to";
    case LoadError::container_too_large: return "compressed data declares more than 16 MiB";
    case LoadError::compressed_damaged: return "compressed data is damaged";
    case LoadError::compressed_ends_early: return "compressed data ends early";
    case LoadError::unknown_compression: return "compressed by a method kerf does not know";
    case LoadError::not_prefetch: return "not a Prefetch file";
    case LoadError::sections_outside: return "damaged Prefetch file: a section lies outside the file";
  }
  return {};
}

bool starts_like_prefetch_file(std::span<const std::uint8_t> head) noexcept {
  const io::ByteReader bytes{head};
  return bytes.matches(0, "MAM") || bytes.matches(0, "MEM0") || bytes.matches(0, std::string_view("\x81\x81xpress", 8)) ||
         bytes.matches(4, "SCCA");
}

LoadResult PrefetchLoader::read_file(InputSource& source, PrefetchRecord& record) {
  if (const SourceStatus opened = source.open(m_options.read_birth_time); !opened.ok()) return load_result(opened);
  // The facts come before the first read: the times reported are the ones
  // the file had, not the moment kerf read it.
  record.source = source.facts();
  return load_result(source.read(m_image, kMaxFileSize));
}

LoadResult PrefetchLoader::undo_container(PrefetchRecord& record) {
  const codec::DecodeResult decoded = m_decoder.decompress(m_image);
  switch (decoded.status) {
    case codec::DecodeStatus::not_compressed: return {};
    case codec::DecodeStatus::ok: break;
    case codec::DecodeStatus::too_large: return {LoadError::container_too_large};
    case codec::DecodeStatus::unknown_method: return {LoadError::unknown_compression};
    case codec::DecodeStatus::damaged: return {LoadError::compressed_damaged};
    case codec::DecodeStatus::ends_early: return {LoadError::compressed_ends_early};
  }
  // The two buffers trade places, so the compressed bytes' buffer becomes
  // the next file's output.
  m_image.swap(m_decoder.output());
  record.container = decoded.container.kind;
  record.checksum_present = decoded.checksum_matches.has_value();
  record.checksum_matches = decoded.checksum_matches.value_or(false);
  return {};
}

LoadResult PrefetchLoader::load(InputSource& source, PrefetchRecord& record) {
  record.clear();
  if (const LoadResult read = read_file(source, record); !read.ok()) return read;
  if (const LoadResult undone = undo_container(record); !undone.ok()) return undone;
  // Only a file read from a disk image has volumes to look its loaded files
  // up in; those are known by their file references.
  const VolumeLookup* volumes = m_options.look_up_loaded_files ? source.volumes() : nullptr;
  DecodeOptions options = m_options;
  if (volumes != nullptr) options.read_file_references = true;
  switch (parse_prefetch_image(m_image, record, options, m_decoder)) {
    case ParseResult::ok:
      if (volumes != nullptr) look_up_loaded_files(*volumes, record);
      return {};
    case ParseResult::not_prefetch: return {LoadError::not_prefetch};
    case ParseResult::sections_outside: return {LoadError::sections_outside};
  }
  return {};
}

}  // namespace kerf
