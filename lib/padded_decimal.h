// Zero-padded decimal numbers for date and time texts.
//
// Formatting runs for every date and time field of every output line, so the
// digits are written into a small buffer on the stack and appended straight
// to the output, with no stream or allocation in between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

// The decimal digits of a value, padded on the left with '0' to at least
// `min_width` characters (at most 20); a wider value is kept in full.
class padded_decimal {
 public:
  static constexpr std::size_t kMaxDigits = 20;  // 2^64 - 1 has 20 digits

  constexpr padded_decimal(std::uint64_t value, std::size_t min_width) noexcept {
    if (min_width > kMaxDigits) min_width = kMaxDigits;
    std::size_t start = kMaxDigits;
    do {
      m_digits[--start] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (kMaxDigits - start < min_width) m_digits[--start] = '0';
    m_start = start;
  }

  constexpr std::string_view view() const noexcept {
    return {m_digits + m_start, kMaxDigits - m_start};
  }

 private:
  char m_digits[kMaxDigits] = {};
  std::size_t m_start = kMaxDigits;
};

}  // namespace qv
