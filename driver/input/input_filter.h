// The input filter: which of the names typed, piped in or found in a
// directory tree are handed to the decoder.
//
// A name passes when its file was modified inside the time window
// (-cmd_start_time, -cmd_stop_time) and it fits one pattern of the list
// (-filter, -filter_sig). Names are compared without regard to the case of
// the letters A-Z.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/time/instant.h"

namespace kerf {

// One pattern of -filter, or the bytes of one -filter_sig.
struct FilterPattern {
  std::string name_pattern;  // lower-cased, before the first ':', every '*' removed
  std::vector<std::uint8_t> content_bytes;  // -filter_sig bytes (empty for a name pattern)
  std::uint64_t content_offset = 0;         // where the content bytes must stand
  bool is_path = false;            // the name pattern begins with '/'
  bool match_all = false;          // the pattern is "*"
  bool leading_wildcard = false;   // the name pattern began with '*'
  bool trailing_wildcard = false;  // the name pattern ended with '*'

  bool operator==(const FilterPattern&) const = default;
};

// Turns one -filter value into patterns: the value is split at "|" and,
// separately, at "," (the bar pieces first, then the comma pieces); a value
// with neither is one pattern. A pattern "*" lets every name through and
// cuts the list to one match-all entry. Never empty.
std::vector<FilterPattern> parse_filter_patterns(std::string_view value);

// Turns one -filter_sig value into a content pattern. Accepted:
//   BYTES            e.g. "4d414d04"
//   BYTES|OFFSET     e.g. "53434341|4" (the bytes must stand at that offset)
//   BYTES,OFFSET     when the value holds no "|"
// BYTES is an even, non-zero number of hexadecimal digits of either case,
// optionally preceded by "0x", with white space allowed only around it.
// OFFSET is a whole number (decimal, or hexadecimal after "0x"); missing, it
// is 0. Nothing for anything else.
std::optional<FilterPattern> parse_filter_signature(std::string_view value);

// The modification-time window; a bound that is not set places no limit.
struct TimeWindow {
  std::optional<time::Instant> start;
  std::optional<time::Instant> stop;

  bool is_set() const noexcept { return start || stop; }
};

// What the filter may need of a file besides its name: its modification
// time and some of its bytes. A host file is asked through the system; a
// file inside a disk image through its volume.
class FileProbe {
 public:
  virtual ~FileProbe() = default;
  // Whole seconds since 1970; nothing when the file can't be reached.
  virtual std::optional<std::int64_t> modified_seconds() = 0;
  // Whether the file holds `bytes` at `offset`.
  virtual bool holds(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// True when `path` passes `window` and at least one of `patterns` (or
// `patterns` is empty). An empty path never passes.
//
// Time window, when a bound is set: the file's modification time (whole
// seconds since 1970, symbolic links followed) must be known, non-zero, fit
// in 32 bits, and lie neither before the start nor after the stop.
//
// Patterns are tried in order on the name part (after the last '\', else the
// last '/'), lower-cased:
//   /dir     the lower-cased directory part holds "/dir" ending at its end or
//            right before a '/' (backslashes read as '/' when that helps);
//            otherwise the tests below
//   *        every name
//   *text*   the name contains text
//   *text    the first "text" in the name ends the name
//   text*    the name begins with text
//   text     the name is text; failing that, a -filter_sig pattern matches
//            when the file, opened read-only, holds its bytes at its offset
bool match_path(const TimeWindow& window, std::string_view path, const std::vector<FilterPattern>& patterns);
// The same for a file reached through `probe` (the host file at `path`
// above); `path` only gives the name and folder the patterns look at.
bool match_path(const TimeWindow& window, std::string_view path, const std::vector<FilterPattern>& patterns,
                FileProbe& probe);

// Whether the file at `path` was modified inside `window` (see match_path);
// always true when no bound is set.
bool inside_time_window(const TimeWindow& window, std::string_view path);
bool inside_time_window(const TimeWindow& window, FileProbe& probe);

}  // namespace kerf
