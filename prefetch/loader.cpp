#include "prefetch/loader.h"

#include <algorithm>
#include <cerrno>

#include "lib/io/system_error.h"
#include "lib/time/instant.h"
#include "prefetch/parser.h"

namespace kerf {

namespace {

std::uint64_t filetime_of(const timespec& when) { return time::filetime_from_unix_seconds(when.tv_sec); }

// The file's own facts, from the status taken when it was opened.
SourceFile source_facts(const io::File& file, bool read_birth_time) {
  const struct stat& status = file.status();
  SourceFile source;
  source.size = static_cast<std::uint64_t>(status.st_size);
  source.changed = filetime_of(status.st_ctim);
  source.modified = filetime_of(status.st_mtim);
  source.accessed = filetime_of(status.st_atim);
  if (const auto born = read_birth_time ? file.birth_time() : std::nullopt) source.born = time::filetime_from_unix_seconds(born->first);
  return source;
}

}  // namespace

std::string describe(const LoadResult& result) {
  switch (result.error) {
    case LoadError::none: return {};
    case LoadError::cannot_open:
    case LoadError::cannot_read: return io::system_error_text(result.system_error);
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

LoadResult PrefetchLoader::read_file(std::string_view path, PrefetchRecord& record) {
  io::File file;
  if (!file.open_for_read(path, m_links)) {
    switch (file.error()) {
      case ENXIO: return {LoadError::not_regular};
      case ELOOP: return {m_links == io::File::Links::refuse ? LoadError::symbolic_link : LoadError::cannot_open,
                          ELOOP};
      default: return {LoadError::cannot_open, file.error()};
    }
  }
  const struct stat& status = file.status();
  const io::FileId id{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  if (std::find(m_excluded.begin(), m_excluded.end(), id) != m_excluded.end()) return {LoadError::excluded};
  if (S_ISDIR(status.st_mode)) return {LoadError::is_directory};
  // The status comes before the first read: the times reported are the
  // ones the file had, not the moment kerf read it.
  record.source = source_facts(file, m_options.read_birth_time);
  if (file.size() == 0) return {LoadError::empty};
  errno = 0;
  if (!file.read_at(m_image, std::min<std::uint64_t>(file.size(), kMaxFileSize), 0)) {
    return {LoadError::cannot_read, errno != 0 ? errno : EIO};
  }
  return {};
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

LoadResult PrefetchLoader::load(std::string_view path, PrefetchRecord& record) {
  record.clear();
  if (const LoadResult read = read_file(path, record); !read.ok()) return read;
  if (const LoadResult undone = undo_container(record); !undone.ok()) return undone;
  switch (parse_prefetch_image(m_image, record, m_options, m_decoder)) {
    case ParseResult::ok: return {};
    case ParseResult::not_prefetch: return {LoadError::not_prefetch};
    case ParseResult::sections_outside: return {LoadError::sections_outside};
  }
  return {};
}

}  // namespace kerf
