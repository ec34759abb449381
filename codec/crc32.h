// CRC-32 of a byte stream: the checksum zlib, PNG and Ethernet use
// (reflected polynomial 0xEDB88320, register started and finished with all
// ones). Windows puts one into compressed Prefetch files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kerf::codec {

// A checksum fed in pieces: the value after update(a); update(b) equals the
// checksum of a followed by b.
class Crc32 {
 public:
  void update(std::span<const std::uint8_t> bytes) noexcept;
  // `count` zero bytes.
  void update_zeros(std::size_t count) noexcept;
  std::uint32_t value() const noexcept { return ~m_register; }

 private:
  std::uint32_t m_register = 0xFFFFFFFFu;
};

// The checksum of `bytes` in one piece.
std::uint32_t crc32(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace kerf::codec
