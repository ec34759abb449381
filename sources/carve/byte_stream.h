// A run of bytes that is scanned for Prefetch data rather than read as
// files: any file taken whole (a memory image, a page file, unallocated space
// exported by another tool), or the unallocated clusters of an NTFS volume
// in a disk image or one of its shadow-copy stores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kerf {

// A stretch of the stream that is read as one piece: a find never reaches
// past the end of the extent it starts in. A whole file is one extent; a
// volume's unallocated clusters are one extent per run of free clusters, as
// a deleted file's data continues into the next free run only by chance.
struct ByteExtent {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;  // one past the last byte
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // What reports name the stream by: the file's path, or
  // "<image>@<volume offset>" (with "#vss<N>" for a store). A find is shown
  // as "<name>:carved@<offset>".
  virtual const std::string& name() const noexcept = 0;
  // The extents to scan, in increasing order, apart from one another.
  virtual const std::vector<ByteExtent>& extents() const noexcept = 0;
  // What is added to a stream offset to give the offset reports show: the
  // volume's offset in its image; 0 for a file.
  virtual std::uint64_t shown_offset_base() const noexcept { return 0; }
  // Reads `count` bytes at stream offset `offset` into `out` (resized to
  // them, its capacity reused). False when they can't all be read: an I/O
  // error, or a range the image could not supply; `out` then holds nothing
  // that can be trusted. Safe to call from several threads at once.
  virtual bool read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) const = 0;
};

}  // namespace kerf
