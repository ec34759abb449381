#include "codec/crc32.h"

#include <array>

namespace kerf::codec {

namespace {

// The register after one byte, for each value of its low byte: one lookup
// per byte instead of eight shifts.
constexpr std::array<std::uint32_t, 256> make_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t value = byte;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1u) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[byte] = value;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = make_table();

constexpr std::uint32_t step(std::uint32_t crc, std::uint8_t byte) {
  return kTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

}  // namespace

void Crc32::update(std::span<const std::uint8_t> bytes) noexcept {
  std::uint32_t crc = m_register;
  for (const std::uint8_t byte : bytes) crc = step(crc, byte);
  m_register = crc;
}

void Crc32::update_zeros(std::size_t count) noexcept {
  std::uint32_t crc = m_register;
  for (std::size_t i = 0; i < count; ++i) crc = step(crc, 0);
  m_register = crc;
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) noexcept {
  Crc32 crc;
  crc.update(bytes);
  return crc.value();
}

}  // namespace kerf::codec
