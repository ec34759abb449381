// A file on the host, named by its path. It is evidence: opened read-only,
// without updating its access time wherever the system allows it, its status
// taken at open, before the first read.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "lib/io/file.h"
#include "sources/input_source.h"

namespace kerf {

class HostFile final : public InputSource {
 public:
  // Links: a name the examiner typed may lead through symbolic links; a name
  // found by a directory walk or read from a pipe came from the file system,
  // and no link on its way is followed out of the evidence tree, except
  // within its first `followed` bytes (the directory the examiner named).
  // `excluded`: the files kerf writes to, never read as input; it must
  // outlive the HostFile, as must `path`.
  HostFile(std::string_view path, io::File::Links links, std::size_t followed, std::span<const io::FileId> excluded)
      : m_path(path), m_links(links), m_followed(followed), m_excluded(excluded) {}

  std::string_view name() const noexcept override { return m_path; }
  SourceStatus open(bool read_birth_time) override;
  const SourceFile& facts() const noexcept override { return m_facts; }
  SourceStatus read(std::vector<std::uint8_t>& out, std::uint64_t most) override;

 private:
  std::string_view m_path;
  io::File::Links m_links;
  std::size_t m_followed;
  std::span<const io::FileId> m_excluded;
  io::File m_file;
  SourceFile m_facts;
};

}  // namespace kerf
