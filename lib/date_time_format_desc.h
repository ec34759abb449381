// A date/time pattern pair compiled once into a 12-byte descriptor.
//
// The delimited layouts (CSV, log2timeline) write a date and a time for every
// line, so they read the patterns' meaning from this compact record instead
// of searching the pattern texts each time. A descriptor whose first four
// bytes are all zero has not been compiled.
//
// The descriptor form differs from format_date_time in a few places: the
// time is always hh:mm:ss (plus the fraction), a "yy" year is still written
// with all four digits, the "," is recorded but not written, and a date
// pattern in none of the orders day-month-year, month-day-year or
// year-month-day gives an empty date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "lib/qv_time.h"

namespace qv {

struct date_time_format_desc {
  // Bits of `flags`.
  static constexpr std::uint8_t kMonthName = 0x01;      // "mmm"
  static constexpr std::uint8_t kNumericMonth = 0x02;   // "mm" without "mmm"
  static constexpr std::uint8_t kFourDigitYear = 0x04;  // "yyyy"
  static constexpr std::uint8_t kTwoDigitYear = 0x08;   // "yy" without "yyyy"
  static constexpr std::uint8_t kComma = 0x10;          // "," anywhere
  static constexpr std::uint8_t kOrderDMY = 0x20;
  static constexpr std::uint8_t kOrderMDY = 0x40;
  static constexpr std::uint8_t kOrderYMD = 0x80;

  // Bits of `fraction`.
  static constexpr std::uint8_t kCallerFlag = 0x01;  // compile's flag argument
  static constexpr unsigned kDigitsShift = 1;        // bits 1-4: fraction digits
  static constexpr std::uint8_t kDigitsMask = 0x0F;

  std::uint8_t separator = 0;  // '/', '-', ' ' or 0 when the pattern has none
  std::uint8_t flags = 0;
  std::uint8_t fraction = 0;
  std::uint8_t reserved = 0;
  std::uint16_t first_year = 0;   // set to 1900 by compiling, read by no formatter
  std::uint16_t second_year = 0;  // set to 2600 by compiling, read by no formatter
  std::uint8_t reserved_tail[4] = {};

  bool is_compiled() const noexcept {
    return separator != 0 || flags != 0 || fraction != 0 || reserved != 0;
  }
  unsigned fraction_digit_count() const noexcept {
    return (fraction >> kDigitsShift) & kDigitsMask;
  }
};

static_assert(sizeof(date_time_format_desc) == 12);
static_assert(std::is_trivially_copyable_v<date_time_format_desc>);

// Fills `desc` from the two patterns; `flag` is kept in bit 0 of `fraction`
// for the caller (the option parser stores its date/time pairing there).
// Returns false when the date pattern lacks a month, year or day token or
// orders them in none of the three known orders; the descriptor then keeps
// what was filled in before that test.
bool compile_date_time_format(date_time_format_desc& desc, std::string_view date_pattern,
                              std::string_view time_pattern, bool flag);

// Clears both texts. An invalid time gives false and two empty texts. A
// descriptor that was never compiled gives the default "yyyy-mm-dd" and
// "hh:mm:ss.xxx" texts and false. Otherwise writes both texts from the
// descriptor and returns true.
bool format_with_descriptor(std::string& date, std::string& time_text, const time& t,
                            const date_time_format_desc& desc);

}  // namespace qv
