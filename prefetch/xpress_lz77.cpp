// The plain LZ77 block inside the container that starts with 0x81 0x81
// "xpress": groups of 32 literal/match flags, each group behind a 32-bit
// flag word read most significant flag first.
#include <algorithm>

#include "prefetch/xpress.h"

namespace kerf {

namespace {

constexpr std::uint64_t kLz77HeaderSize = 32;

}  // namespace

std::uint32_t xpress_adt::decode_lz77_block(qv::ByteReader input) {
  const Container container = detect_container(input.span());
  if (container.kind != kLz77 || container.declared_size > kLz77Capacity) return 0;
  const std::uint32_t out_size = container.declared_size;
  m_output.assign(kLz77Capacity, 0);
  std::uint8_t* const out = m_output.data();

  // Compressed size from the header; a size the input cannot hold means
  // "everything after the header".
  const std::uint64_t length = input.size();
  std::uint64_t compressed = ((std::uint64_t{input.u32_or(9, 0)} >> 2) + 8) & ~std::uint64_t{7};
  if (compressed > length || compressed == 0) {
    compressed = length > kLz77HeaderSize ? length - kLz77HeaderSize : 0;
  }
  const qv::ByteReader data = input.tail(kLz77HeaderSize);

  if (compressed == kLz77Capacity || compressed == out_size) {
    // Stored block: the data is the output. Only the bytes present are copied.
    const std::uint64_t present = std::min<std::uint64_t>(compressed, data.size());
    const std::span<const std::uint8_t> stored = data.bytes(0, present);
    std::copy(stored.begin(), stored.end(), m_output.begin());
    m_out_pos = static_cast<std::uint32_t>(present);
    return static_cast<std::uint32_t>(compressed);
  }

  std::uint64_t pos = 0;
  std::uint32_t out_pos = 0;
  std::uint32_t flags = 0;
  int flags_left = 0;
  // The length nibble byte is shared: its low nibble serves one long match,
  // its high nibble the next one.
  bool have_high_nibble = false;
  std::uint32_t high_nibble = 0;

  while (pos < compressed && out_pos < out_size) {
    if (flags_left == 0) {
      const std::optional<std::uint32_t> word = data.u32(pos);
      if (!word) break;
      flags = *word;
      flags_left = 32;
      pos += 4;
    }
    --flags_left;
    if (((flags >> flags_left) & 1u) == 0) {
      const std::optional<std::uint8_t> literal = data.u8(pos);
      if (!literal) break;
      out[out_pos++] = *literal;
      pos += 1;
      continue;
    }

    const std::optional<std::uint16_t> match = data.u16(pos);
    if (!match) break;
    pos += 2;
    const std::uint32_t offset = (std::uint32_t{*match} >> 3) + 1;
    std::uint32_t match_length = *match & 7u;
    if (match_length == 7) {
      std::uint32_t nibble = 0;
      if (have_high_nibble) {
        nibble = high_nibble;
        have_high_nibble = false;
      } else {
        const std::optional<std::uint8_t> shared = data.u8(pos);
        if (!shared) break;
        pos += 1;
        nibble = *shared & 0x0Fu;
        high_nibble = *shared >> 4;
        have_high_nibble = true;
      }
      if (nibble == 15) {
        const std::optional<std::uint8_t> extra = data.u8(pos);
        if (!extra) break;
        pos += 1;
        if (*extra == 255) {
          const std::optional<std::uint16_t> wide = data.u16(pos);
          if (!wide) break;
          pos += 2;
          match_length = *wide + 3u;
        } else {
          match_length = *extra + 25u;
        }
      } else {
        match_length = nibble + 10;
      }
    } else {
      match_length += 3;
    }

    if (offset > out_pos) break;
    // The output never exceeds one 64 KiB block, so the declared size is the
    // only bound a match meets.
    const std::uint32_t count = std::min(match_length, out_size - out_pos);
    for (std::uint32_t i = 0; i < count; ++i) out[out_pos + i] = out[out_pos + i - offset];
    out_pos += count;
  }
  m_out_pos = out_pos;
  return static_cast<std::uint32_t>(pos);
}

}  // namespace kerf
