// Bounds-checked little-endian reads over a byte span.
//
// Every parser of file bytes (Prefetch images, compressed containers) reads
// through this class: a read that would reach past the end of the span gives
// no value (or the caller's fallback) instead of touching memory it does not
// own. Offsets are 64-bit so that adding a 32-bit field to a 32-bit base can
// never wrap around before the bounds test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qv {

class ByteReader {
 public:
  constexpr ByteReader() noexcept = default;
  constexpr explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : m_bytes(bytes) {}

  constexpr std::size_t size() const noexcept { return m_bytes.size(); }
  constexpr bool empty() const noexcept { return m_bytes.empty(); }
  constexpr std::span<const std::uint8_t> span() const noexcept { return m_bytes; }

  // True when the `count` bytes starting at `offset` lie inside the span.
  constexpr bool fits(std::uint64_t offset, std::uint64_t count) const noexcept {
    return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
  }

  // Bytes left from `offset` to the end (0 when `offset` is past the end).
  constexpr std::uint64_t remaining(std::uint64_t offset) const noexcept {
    return offset < m_bytes.size() ? m_bytes.size() - offset : 0;
  }

  std::optional<std::uint8_t> u8(std::uint64_t offset) const noexcept {
    if (!fits(offset, 1)) return std::nullopt;
    return m_bytes[offset];
  }
  std::optional<std::uint16_t> u16(std::uint64_t offset) const noexcept {
    if (!fits(offset, 2)) return std::nullopt;
    return load16(offset);
  }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const noexcept {
    if (!fits(offset, 4)) return std::nullopt;
    return load32(offset);
  }
  std::optional<std::uint64_t> u64(std::uint64_t offset) const noexcept {
    if (!fits(offset, 8)) return std::nullopt;
    return static_cast<std::uint64_t>(load32(offset)) |
           (static_cast<std::uint64_t>(load32(offset + 4)) << 32);
  }

  // Variants for loops that treat bytes past the end as a fixed value.
  std::uint8_t u8_or(std::uint64_t offset, std::uint8_t fallback) const noexcept {
    return fits(offset, 1) ? m_bytes[offset] : fallback;
  }
  std::uint16_t u16_or(std::uint64_t offset, std::uint16_t fallback) const noexcept {
    return fits(offset, 2) ? load16(offset) : fallback;
  }
  std::uint32_t u32_or(std::uint64_t offset, std::uint32_t fallback) const noexcept {
    return fits(offset, 4) ? load32(offset) : fallback;
  }
  std::uint64_t u64_or(std::uint64_t offset, std::uint64_t fallback) const noexcept {
    return u64(offset).value_or(fallback);
  }

  // The `count` bytes at `offset`; an empty span when they do not all fit.
  std::span<const std::uint8_t> bytes(std::uint64_t offset, std::uint64_t count) const noexcept {
    if (!fits(offset, count)) return {};
    return m_bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
  }

  // A reader over the bytes from `offset` to the end (empty past the end).
  ByteReader tail(std::uint64_t offset) const noexcept {
    if (offset >= m_bytes.size()) return ByteReader{};
    return ByteReader{m_bytes.subspan(static_cast<std::size_t>(offset))};
  }

  // A reader over at most the first `count` bytes.
  ByteReader head(std::uint64_t count) const noexcept {
    if (count >= m_bytes.size()) return *this;
    return ByteReader{m_bytes.first(static_cast<std::size_t>(count))};
  }

  // True when the bytes at `offset` equal the characters of `text`.
  bool matches(std::uint64_t offset, std::string_view text) const noexcept {
    if (!fits(offset, text.size())) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (m_bytes[offset + i] != static_cast<std::uint8_t>(text[i])) return false;
    }
    return true;
  }

 private:
  // Callers have checked the bounds.
  std::uint16_t load16(std::uint64_t offset) const noexcept {
    return static_cast<std::uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
  }
  std::uint32_t load32(std::uint64_t offset) const noexcept {
    return static_cast<std::uint32_t>(m_bytes[offset]) |
           (static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24);
  }

  std::span<const std::uint8_t> m_bytes;
};

}  // namespace qv
