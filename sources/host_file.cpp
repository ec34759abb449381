#include "sources/host_file.h"

#include <algorithm>
#include <cerrno>

#include "lib/time/instant.h"

namespace kerf {

namespace {

std::uint64_t filetime_of(const timespec& when) { return time::filetime_from_unix_seconds(when.tv_sec); }

}  // namespace

SourceStatus HostFile::open(bool read_birth_time) {
  if (!m_file.open_for_read(m_path, m_links, m_followed)) {
    switch (m_file.error()) {
      case ENXIO: return {SourceError::not_regular};
      case ELOOP: return {m_links == io::File::Links::refuse ? SourceError::symbolic_link : SourceError::cannot_open,
                          ELOOP};
      default: return {SourceError::cannot_open, m_file.error()};
    }
  }
  const struct stat& status = m_file.status();
  const io::FileId id{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  if (std::find(m_excluded.begin(), m_excluded.end(), id) != m_excluded.end()) return {SourceError::excluded};
  if (S_ISDIR(status.st_mode)) return {SourceError::is_directory};
  // A terminal or /dev/zero is no file a Prefetch file could be kept in.
  if (S_ISCHR(status.st_mode)) return {SourceError::not_regular};
  m_facts.size = static_cast<std::uint64_t>(status.st_size);
  m_facts.changed = filetime_of(status.st_ctim);
  m_facts.modified = filetime_of(status.st_mtim);
  m_facts.accessed = filetime_of(status.st_atim);
  if (const auto born = read_birth_time ? m_file.birth_time() : std::nullopt) {
    m_facts.born = time::filetime_from_unix_seconds(born->first);
  }
  m_facts.identity = id;
  return {};
}

SourceStatus HostFile::read(std::vector<std::uint8_t>& out, std::uint64_t most) {
  // The size taken at open: a pseudo-file under /proc that reports none is
  // measured, so only a file with no bytes at all is empty.
  if (m_file.size() == 0) return {SourceError::empty};
  errno = 0;
  if (!m_file.read_at(out, std::min(m_file.size(), most), 0)) return {SourceError::cannot_read, errno != 0 ? errno : EIO};
  return {};
}

}  // namespace kerf
