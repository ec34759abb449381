#include "prefetch/loader.h"

#include <sys/stat.h>

#include <string>

#include "lib/io/file.h"
#include "lib/time/instant.h"
#include "prefetch/parser.h"

namespace kerf {

bool read_source_file(std::string_view path, SourceFile& source) {
  source = SourceFile{};
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  const std::string native(path);
  struct stat status {};
  if (::stat(native.c_str(), &status) != 0) return false;
  source.size = static_cast<std::uint64_t>(status.st_size);
  source.mode = static_cast<std::uint32_t>(status.st_mode);
  source.changed = time::filetime_from_unix_seconds(status.st_ctim.tv_sec);
  source.modified = time::filetime_from_unix_seconds(status.st_mtim.tv_sec);
  source.accessed = time::filetime_from_unix_seconds(status.st_atim.tv_sec);
  return true;
}

std::string describe(const LoadResult& result) {
  switch (result.error) {
    case LoadError::none: return {};
    case LoadError::unreadable: return "cannot be read";
    case LoadError::no_status: return "its status cannot be read";
    case LoadError::bad_container: return "compressed data that cannot be decoded";
    case LoadError::unknown_compression: return "compressed by a method kerf does not know";
    case LoadError::not_prefetch: return "not a Prefetch file";
  }
  return {};
}

LoadResult PrefetchLoader::load(std::string_view path, PrefetchRecord& record) {
  record.clear();
  if (!io::read_whole_file(m_image, path, kMaxFileSize)) return {LoadError::unreadable};
  if (!read_source_file(path, record.source)) return {LoadError::no_status};

  const XpressDecoder::Container container = XpressDecoder::detect_container(m_image);
  if (container.kind != ContainerKind::none) {
    if (!container.method_known()) return {LoadError::unknown_compression};
    if (!m_decoder.decompress(m_image) || m_decoder.output().empty()) return {LoadError::bad_container};
    // The two buffers trade places, so the compressed bytes' buffer becomes
    // the next file's output.
    m_image.swap(m_decoder.output());
    record.container = container.kind;
    record.container_method = container.method;
    record.checksum_present = container.has_checksum;
    record.checksum_matches = m_decoder.checksum_matches().value_or(false);
  }
  if (!parse_prefetch_image(m_image, record, m_options)) return {LoadError::not_prefetch};
  return {};
}

}  // namespace kerf
