#include "sources/carve/file_byte_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kerf {

std::unique_ptr<FileByteStream> FileByteStream::open(const std::string& path, int& error) {
  std::unique_ptr<FileByteStream> stream(new FileByteStream(path));
  if (!stream->m_file.open_for_read(path)) {
    error = stream->m_file.error();
    return nullptr;
  }
  if (S_ISDIR(stream->m_file.status().st_mode)) {
    error = EISDIR;
    return nullptr;
  }
  if (stream->m_file.size() > 0) stream->m_extents.push_back({0, stream->m_file.size()});
  return stream;
}

io::FileId FileByteStream::identity() const noexcept {
  const struct stat& status = m_file.status();
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool FileByteStream::read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) const {
  out.resize(static_cast<std::size_t>(count));
  std::uint64_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(m_file.descriptor(), out.data() + got, static_cast<std::size_t>(count - got),
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // an error, or the end of a file that shrank
    got += static_cast<std::uint64_t>(n);
  }
  out.resize(static_cast<std::size_t>(got));
  return got == count;
}

}  // namespace kerf
