// The pieces a run carves (-carve): every stream cut into pieces of about
// the same number of bytes to scan, so that the threads share the work, a
// run of many small extents (a volume's scattered free clusters) gathered
// into one piece.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "driver/input/input_name.h"
#include "sources/carve/byte_stream.h"

namespace kerf {

// Bytes of a stream handed out as one piece of work: enough that handing
// it out costs nothing beside the scan, few enough that every thread gets
// pieces of a file of some tens of megabytes.
inline constexpr std::uint64_t kCarvePieceBytes = 4u << 20;

class CarvePieces {
 public:
  // The streams must outlive the pieces; `piece_bytes`: the bytes to scan
  // in one piece (a piece may hold fewer at the end of a stream).
  CarvePieces(const std::vector<std::unique_ptr<ByteStream>>& streams, std::uint64_t piece_bytes)
      : m_piece_bytes(piece_bytes) {
    for (const auto& stream : streams) m_streams.push_back(stream.get());
  }

  // The next piece, named "<stream>:bytes <begin>"; false when none is left.
  bool next(InputName& name);

 private:
  std::vector<const ByteStream*> m_streams;
  std::uint64_t m_piece_bytes;
  std::size_t m_stream = 0;
  std::size_t m_extent = 0;
  std::uint64_t m_offset = 0;  // in the current extent
};

}  // namespace kerf
