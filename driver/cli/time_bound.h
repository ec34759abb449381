// The bounds of the modification-time window (-cmd_start_time,
// -cmd_stop_time) that screens the files a bulk run looks at.
//
// A bound is written as a date, optionally followed by a space and a time of
// day: "2024/03/17", "2024-03-17 08:30", "2024/3/7 08:30:15". The date is
// always year, month, day; its separator is "/" when the date holds one,
// otherwise "-". The time is hh:mm or hh:mm:ss (UTC). A start bound without a
// time begins at 00:00:00, a stop bound without one ends at 23:59:59, so a
// single day given for both bounds covers that whole day.
#pragma once

#include <string_view>

#include "lib/time/instant.h"

namespace kerf {

enum class TimeBoundStatus {
  ok,         // the bound holds the time
  invalid,    // a date and time were written, but they are no valid time
  malformed,  // the date part is empty or has neither "/" nor "-"
};

// Which end of the window a value describes: decides the time of day that a
// value without one gets.
enum class TimeBoundEnd { start, stop };

// Reads one bound. `bound` is set only when the result is ok.
TimeBoundStatus parse_time_bound(std::string_view value, TimeBoundEnd end, time::Instant& bound);

}  // namespace kerf
