// Date and time texts of an instant, shaped by the examiner's patterns.
//
// The user picks the look of dates and times with two patterns, a date
// pattern such as "yyyy-mm-dd" and a time pattern such as "hh:mm:ss.xxx".
// They are read once, when the format is built, by looking for tokens
// anywhere in them; other characters are ignored. All times are UTC.
//
// Date tokens: "yyyy" (four-digit year), "yy" (two-digit year), "mmm" (month
// name), "mm" (two-digit month), "dd" (day); the separator is the first of
// "/", "-" and " " found (else "/"); with a space separator a "," after the
// day puts a comma after a day that follows the month ("Dec 14, 12"). The
// positions of "mm" and "dd" order month and day; a pattern beginning with
// the year puts the year first, otherwise last. A pattern without all of
// "mm", "yy" and "dd" falls back to month/day/year with "/".
//
// Time tokens: "hh:mm" (hours and minutes), "ss" (":" and seconds), "xxx"
// (the fraction: every "x" up to the last one adds a digit, 3 to 9 digits;
// fractions are cut, never rounded, so a time never moves into the next
// second). They are written in that order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/time/instant.h"

namespace kerf::time {

// "Jan" .. "Dec" for 1 .. 12, empty for anything else.
std::string_view month_abbrev(unsigned month) noexcept;

// Digits a time pattern asks for: (position of the last "x") - (position of
// the first "xxx") + 1, or 0 when the pattern has no "xxx".
std::size_t fraction_digits(std::string_view time_pattern) noexcept;

// Whether a pattern (lower-cased) can give its dates and times in every
// layout: a date pattern needs "mm", "dd" and "yy"; a time pattern needs
// "hh:mm" and "ss", and either a fraction of 3 to 9 digits or no "x" at all.
bool is_usable_date_pattern(std::string_view pattern) noexcept;
bool is_usable_time_pattern(std::string_view pattern) noexcept;

class DateTimeFormat {
 public:
  DateTimeFormat(std::string_view date_pattern, std::string_view time_pattern);

  // Nothing for an invalid instant or an empty pattern.
  void append_date(std::string& out, const Instant& t) const;
  // With `fraction` false the fraction is left out (whole seconds).
  void append_time(std::string& out, const Instant& t, bool fraction = true) const;
  // The date text, one blank and the time text (a lone blank for a FILETIME
  // that is no valid instant).
  void append_date_time(std::string& out, std::uint64_t filetime, bool fraction = true) const;

 private:
  enum class DateShape { none, month_day_year_slash, year_first, year_last };

  DateShape m_date_shape = DateShape::none;
  char m_separator = '/';
  bool m_month_name = false;
  bool m_two_digit_year = false;
  bool m_month_before_day = true;
  bool m_comma_after_day = false;
  bool m_time = false;
  bool m_hours_minutes = false;
  bool m_seconds = false;
  std::size_t m_fraction_digits = 0;
};

}  // namespace kerf::time
