// Copying an LZ77 match within the output buffer, shared by the Xpress
// Huffman and plain LZ77 decoders.
#pragma once

#include <cstdint>
#include <cstring>

namespace kerf::codec {

// Copies `count` bytes from `offset` bytes back to `out_pos`. The caller has
// checked that the source starts inside the output (offset <= out_pos) and
// that the copy ends inside it (out_pos + count <= out_size). Sources that
// overlap the destination repeat, as LZ77 means them to.
inline void copy_match(std::uint8_t* out, std::uint32_t out_pos, std::uint32_t offset, std::uint32_t count,
                       std::uint32_t out_size) {
  std::uint8_t* dst = out + out_pos;
  const std::uint8_t* src = dst - offset;
  if (offset >= 8 && out_size - out_pos - count >= 7) {
    // Whole words: every word read lies before the word being written, and
    // the last word may spill up to 7 bytes into output not yet decoded.
    for (std::uint32_t i = 0; i < count; i += 8) std::memcpy(dst + i, src + i, 8);
  } else if (offset == 1) {
    std::memset(dst, *src, count);
  } else {
    for (std::uint32_t i = 0; i < count; ++i) dst[i] = src[i];
  }
}

}  // namespace kerf::codec
