// Date and time texts from a qv::time, driven by short patterns.
//
// The user picks the look of dates and times with two patterns, a date
// pattern such as "yyyy-mm-dd" and a time pattern such as "hh:mm:ss.xxx".
// Patterns are read by looking for tokens anywhere in them; other characters
// are ignored. All times are shown in UTC.
//
// Date tokens: "yyyy" (four-digit year), "yy" (two-digit year), "mmm" (month
// name), "mm" (two-digit month), "dd" (day); the separator is the first of
// "/", "-" and " " found (else "/"); with a space separator a "," at or after
// the day puts a comma after a day that follows the month ("Dec 14, 12").
// The positions of "mm" and "dd" order month and day; a pattern beginning
// with the year puts the year first, otherwise last. A pattern without all
// of "mm", "yy" and "dd" falls back to month/day/year.
//
// Time tokens: "hh:mm" (hours and minutes), "ss" (":" and seconds), "xxx"
// (the fraction, see time_fraction.h). They are written in that order.
#pragma once

#include <string>
#include <string_view>

#include "lib/qv_time.h"

namespace qv {

// "Jan" .. "Dec" for 1 .. 12, empty for anything else.
std::string_view month_abbrev(int month) noexcept;

// Clears both texts; for an invalid time returns false and leaves them empty.
// Otherwise writes the date text when `date_pattern` is not empty and the
// time text when `time_pattern` is not empty, and returns true.
bool format_date_time(std::string& date, std::string& time_text, const time& t,
                      std::string_view date_pattern, std::string_view time_pattern);

// format_date_time, with the time text cut at its first "." (no fraction).
bool format_date_time_no_fraction(std::string& date, std::string& time_text, const time& t,
                                  std::string_view date_pattern, std::string_view time_pattern);

}  // namespace qv
