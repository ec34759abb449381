// Bounds-checked little-endian reads over the bytes of a file.
//
// Every parser of file bytes (Prefetch images, compressed containers) reads
// through these two classes: a read that would reach past the end gives no
// value (or the caller's fallback) instead of touching memory it does not
// own. Offsets are 64-bit so that adding a 32-bit field to a 32-bit base can
// never wrap around before the bounds test.
//
// ByteReader answers reads at any offset. ByteCursor walks forward through a
// structure: each read moves it on, and the first read that does not fit
// makes it fail for good, so a walk reads as a sequence of fields and checks
// once, at the end, whether all of them were there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kerf::io {

class ByteReader {
 public:
  constexpr ByteReader() noexcept = default;
  constexpr explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : m_bytes(bytes) {}

  constexpr std::size_t size() const noexcept { return m_bytes.size(); }
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
    return load64(offset);
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
    return fits(offset, 8) ? load64(offset) : fallback;
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
  std::uint64_t load64(std::uint64_t offset) const noexcept {
    return static_cast<std::uint64_t>(load32(offset)) |
           (static_cast<std::uint64_t>(load32(offset + 4)) << 32);
  }

  std::span<const std::uint8_t> m_bytes;
};

class ByteCursor {
 public:
  ByteCursor(const ByteReader& reader, std::uint64_t offset) noexcept
      : m_reader(reader), m_offset(offset), m_ok(offset <= reader.size()) {}

  // False once any read or skip did not fit; it stays false.
  bool ok() const noexcept { return m_ok; }
  std::uint64_t offset() const noexcept { return m_offset; }
  bool at_end() const noexcept { return !m_ok || m_offset >= m_reader.size(); }

  // Each read moves the cursor past its field; after a failure every read
  // gives 0 and the cursor stays where the failing read began.
  std::uint16_t u16() noexcept { return take<std::uint16_t>(2, m_reader.u16_or(m_offset, 0)); }

  void skip(std::uint64_t count) noexcept { take<int>(count, 0); }

 private:
  template <typename T>
  T take(std::uint64_t count, T value) noexcept {
    if (!m_ok || !m_reader.fits(m_offset, count)) {
      m_ok = false;
      return T{};
    }
    m_offset += count;
    return value;
  }

  const ByteReader& m_reader;
  std::uint64_t m_offset;
  bool m_ok;
};

}  // namespace kerf::io
