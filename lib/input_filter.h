// Patterns of the input filter (-filter, -filter_sig) that screen the names a
// bulk run hands to the decoder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct FilterEntry {
  std::uint32_t path_length = 0;  // length of the -filter_path text (kept, not matched)
  std::wstring path;              // lower-cased -filter_path text (kept, not matched)
  std::wstring token;             // the pattern as written, lower-cased
  std::wstring name_pattern;      // before the first ':', every '*' removed
  std::wstring stream_pattern;    // after the first ':', every '*' removed
  std::vector<std::uint8_t> content_bytes;  // -filter_sig bytes (empty for a name pattern)
  std::uint64_t content_offset = 0;         // where the content bytes must stand
  bool is_path = false;            // the name pattern begins with '/'
  bool match_all = false;          // the token is "*"
  bool leading_wildcard = false;   // the name pattern began with '*'
  bool trailing_wildcard = false;  // the name pattern ended with '*'
  bool has_stream = false;         // the token holds ':'
  bool stream_match_all = false;
  bool stream_leading_wildcard = false;
  bool stream_trailing_wildcard = false;

  bool operator==(const FilterEntry&) const = default;
};

// Turns one -filter value into entries, one per pattern: the value is split
// at "|" and, separately, at "," (the bar pieces first, then the comma
// pieces); a value with neither is one pattern. A pattern "*" lets every
// name through and cuts the list to one match-all entry. Never empty.
std::vector<FilterEntry> parse_filter_patterns(std::string_view value);

// Turns one -filter_sig value into a content entry. Accepted:
//   BYTES            e.g. "4d414d04"
//   BYTES|OFFSET     e.g. "53434341|4" (the bytes must stand at that offset)
//   BYTES,OFFSET     when the value holds no "|"
// BYTES is an even, non-zero number of hexadecimal digits of either case,
// optionally preceded by "0x", with white space allowed only around it.
// OFFSET follows the number rule (decimal, or hexadecimal after "0x");
// missing, it is 0. False, leaving `entry` alone, for anything else in BYTES.
bool parse_filter_signature(std::string_view value, FilterEntry& entry);

}  // namespace qv
