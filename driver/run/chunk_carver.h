// Carving one piece of a stream (-carve): the signature search over its
// bytes, each hit decoded (its bytes may reach past the piece, up to the
// end of its extent), and each find rendered, in offset order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/run/file_result.h"
#include "prefetch/carved_find.h"
#include "report/renderer.h"

namespace kerf {

class ChunkCarver {
 public:
  ChunkCarver(const Renderer& renderer, const DecodeOptions& options) : m_renderer(renderer), m_decoder(options) {}

  // Scans the piece `result.carve` names into result.finds,
  // result.hits_not_decoded and result.unreadable_ranges.
  void carve(FileResult& result);

 private:
  // Bytes read and searched at once: small enough to stay in the cache
  // while they are searched.
  static constexpr std::uint64_t kSliceBytes = 256u << 10;

  void scan_slice(const ByteStream& stream, const ByteExtent& extent, std::uint64_t begin, std::uint64_t end,
                  FileResult& result);
  void decode_hit(const ByteStream& stream, const ByteExtent& extent, std::uint64_t slice, std::uint64_t at,
                  FileResult& result);

  const Renderer& m_renderer;
  FindDecoder m_decoder;
  PrefetchRecord m_record;
  std::vector<std::uint8_t> m_slice;
  std::vector<std::uint8_t> m_find;
  std::vector<std::uint64_t> m_hits;
  // The end of the last find in this piece: hits inside it are its own.
  std::uint64_t m_covered_until = 0;
};

// "<stream>: bytes <first> to <last> can't be read\n", offsets as shown.
std::string unreadable_range_message(const ByteStream& stream, std::uint64_t begin, std::uint64_t end);

}  // namespace kerf
