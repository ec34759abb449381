// A file scanned whole as one stream of bytes (-carve <file>): a memory
// image, a page file, unallocated space exported by another tool, or a
// disk or device read raw. It is evidence: opened read-only, without
// updating its access time wherever the system allows it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lib/io/file.h"
#include "sources/carve/byte_stream.h"

namespace kerf {

class FileByteStream final : public ByteStream {
 public:
  // The file at `path` (symbolic links followed: the examiner typed it);
  // null, with the errno in `error`, when it can't be opened or is a
  // directory (EISDIR).
  static std::unique_ptr<FileByteStream> open(const std::string& path, int& error);

  const std::string& name() const noexcept override { return m_name; }
  const std::vector<ByteExtent>& extents() const noexcept override { return m_extents; }
  bool read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) const override;

  // The file's identity, so that no results file is written over it.
  io::FileId identity() const noexcept;

 private:
  explicit FileByteStream(std::string name) : m_name(std::move(name)) {}

  std::string m_name;
  io::File m_file;
  std::vector<ByteExtent> m_extents;
};

}  // namespace kerf
