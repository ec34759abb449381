#include "driver/input/carve_pieces.h"

#include <algorithm>

#include "lib/text/numbers.h"

namespace kerf {

bool CarvePieces::next(InputName& name) {
  while (m_stream < m_streams.size()) {
    const ByteStream& stream = *m_streams[m_stream];
    const std::vector<ByteExtent>& extents = stream.extents();
    if (m_extent == extents.size()) {
      ++m_stream;
      m_extent = 0;
      m_offset = 0;
      continue;
    }
    m_offset = std::max(m_offset, extents[m_extent].begin);
    const std::uint64_t begin = m_offset;
    std::uint64_t budget = m_piece_bytes;
    // Whole extents while they fit, then as much of the next as does.
    while (m_extent < extents.size() && budget > 0) {
      const ByteExtent& extent = extents[m_extent];
      const std::uint64_t from = std::max(m_offset, extent.begin);
      const std::uint64_t take = std::min(budget, extent.end - from);
      budget -= take;
      m_offset = from + take;
      if (m_offset == extent.end) ++m_extent;
    }
    name.path = stream.name() + ":bytes ";
    text::append_decimal(name.path, stream.shown_offset_base() + begin);
    name.in_volume = {};
    name.copies.clear();
    name.carve = CarveChunk{&stream, begin, m_offset};
    return true;
  }
  return false;
}

}  // namespace kerf
