// The bit stream of one Xpress Huffman block.
//
// The stream is a run of 16-bit little-endian words, each read from its most
// significant bit. The extra length bytes and words of long matches stand in
// the same byte stream, at the byte the reader has reached: since 32 bits
// are loaded ahead, that byte lies up to 4 bytes past the bits being
// decoded, exactly where the compressor put them.
//
// Past the end of the input the stream reads as zero bits; whether that is
// allowed is the decoder's decision, through position().
#pragma once

#include <cstdint>
#include <optional>

#include "lib/io/byte_reader.h"

namespace kerf::codec {

class XpressBitReader {
 public:
  // Starts at byte `position` of `input` with its first two words loaded.
  XpressBitReader(const io::ByteReader& input, std::uint64_t position) noexcept
      : m_input(input),
        m_bits((static_cast<std::uint32_t>(input.u16_or(position, 0)) << 16) | input.u16_or(position + 2, 0)),
        m_position(position + 4) {}

  // The next `count` bits (1 to 16), not consumed.
  std::uint32_t peek(unsigned count) const noexcept { return m_bits >> (32 - count); }

  // Drops `count` bits (0 to 16) and loads the next word when fewer than 16
  // bits are left: at least 16 bits are ready after every step.
  void remove(unsigned count) noexcept {
    m_bits <<= count;
    m_spare -= static_cast<int>(count);
    if (m_spare < 0) {
      m_bits |= static_cast<std::uint32_t>(m_input.u16_or(m_position, 0)) << -m_spare;
      m_spare += 16;
      m_position += 2;
    }
  }

  // The next `count` bits (0 to 15), consumed; 0 when `count` is 0.
  std::uint32_t pop(unsigned count) noexcept {
    const std::uint32_t value = (m_bits >> 1) >> (31 - count);
    remove(count);
    return value;
  }

  // A byte or word of the byte stream, for long match lengths; nothing when
  // the input ends first.
  std::optional<std::uint8_t> read_byte() noexcept {
    const auto value = m_input.u8(m_position);
    if (value) m_position += 1;
    return value;
  }
  std::optional<std::uint16_t> read_u16() noexcept {
    const auto value = m_input.u16(m_position);
    if (value) m_position += 2;
    return value;
  }

  // The next byte of the input not yet loaded.
  std::uint64_t position() const noexcept { return m_position; }

 private:
  const io::ByteReader& m_input;
  std::uint32_t m_bits;
  int m_spare = 16;  // bits loaded beyond the 16 that are always ready
  std::uint64_t m_position;
};

}  // namespace kerf::codec
