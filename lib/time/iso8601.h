// An instant as an ISO 8601 UTC text with the whole FILETIME fraction:
// "2016-01-11T22:08:20.9851234Z". The seven digits keep every 100-ns tick, so
// two stamps that differ in the file differ in the text too.
#pragma once

#include <string>

#include "lib/time/instant.h"

namespace kerf::time {

// Appends the text of `t`; nothing for an invalid instant.
void append_iso8601(std::string& out, const Instant& t);

}  // namespace kerf::time
