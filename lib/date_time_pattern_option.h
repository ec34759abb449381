// Checking the date and time patterns that the user gives as option values.
//
// A pattern of the wrong length is refused with a message and the previous
// (default) pattern stays in force; an accepted one is stored in lower case,
// so "HH:MM:SS.XXXXXX" works like "hh:mm:ss.xxxxxx".
#pragma once

#include <string>
#include <string_view>

namespace qv {

// A date pattern is accepted when it is exactly 8 or 10 characters long.
// On acceptance stores the lower-cased value in `pattern` and returns true;
// otherwise leaves `pattern` unchanged and returns false.
bool accept_date_format(std::string_view value, std::string& pattern);

// A time pattern is accepted when it is 8, or 12 to 18, characters long and
// contains ":". Stores like accept_date_format.
bool accept_time_format(std::string_view value, std::string& pattern);

// The line for a refused value: "invalid <value>, using default format"
// (without the line end, which the caller adds when printing it).
std::string invalid_format_message(std::string_view value);

}  // namespace qv
