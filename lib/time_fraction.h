// The fraction of a second in time texts: how many digits a time pattern
// asks for, and writing them.
//
// A time pattern asks for a fraction with "xxx"; every "x" up to the last one
// in the pattern adds a digit ("hh:mm:ss.xxxxxx" asks for six). Fractions are
// always truncated, never rounded: a time stamp must not move into the next
// second in a report.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lib/qv_time.h"

namespace qv {

// Digits asked for by a time pattern: (position of the last "x") - (position
// of the first "xxx") + 1, or 0 when the pattern has no "xxx".
std::size_t fraction_digits(std::string_view time_pattern) noexcept;

// Appends "." and `digits` digits of the sub-second part (3: milliseconds,
// 6: microseconds, 9: nanoseconds, others cut from the next finer unit).
// Fewer than 3 or more than 9 digits append nothing at all.
void append_fraction(std::string& out, const time& t, std::size_t digits);

}  // namespace qv
