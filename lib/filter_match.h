// The input filter of the bulk runs: which of the names piped in or found in
// a directory tree are handed to the decoder.
//
// A name passes when its file was modified inside the time window
// (-cmd_start_time, -cmd_stop_time) and it fits one pattern of the list
// (-filter, -filter_sig). Names are compared without regard to the case of
// the letters A-Z, as the patterns were lower-cased when they were read.
#pragma once

#include <string_view>
#include <vector>

#include "lib/cmd_params.h"
#include "lib/input_filter.h"

namespace qv {

// True when `path` passes the time window of `options` and at least one entry
// of `filters` (or `filters` is empty). An empty path never passes.
//
// Time window, when a bound is set: the file's modification time (whole
// seconds since 1970, symbolic links followed) must be known, non-zero, fit
// in 32 bits, and lie neither before the start nor after the stop.
//
// Entries are tried in order on the name part (after the last '\', else the
// last '/'), lower-cased:
//   /dir     the lower-cased directory part holds "/dir" ending at its end or
//            right before a '/' (backslashes read as '/' when that helps);
//            otherwise the tests below
//   *        every name
//   *text*   the name contains text
//   *text    the first "text" in the name ends the name
//   text*    the name begins with text
//   text     the name is text; failing that, an entry with content bytes
//            (-filter_sig) matches when the file, opened read-only, holds
//            those bytes at its offset
bool match_path(const cmd_params& options, std::string_view path,
                const std::vector<FilterEntry>& filters);

// The driver's test for a piped or found name: false for an empty path, true
// at once when `filters` is empty (the time window then does not apply),
// otherwise match_path.
bool file_matches_filter(const cmd_params& options, std::string_view path,
                         const std::vector<FilterEntry>& filters);

}  // namespace qv
