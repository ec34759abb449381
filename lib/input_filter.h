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

// Turns one -filter value into entries (non-empty on success).
std::vector<FilterEntry> parse_filter_patterns(std::string_view value);

// Turns one -filter_sig value ("hexbytes", "hexbytes|offset" or
// "hexbytes,offset") into a content entry; false when the byte pattern is
// empty or not hexadecimal digit pairs.
bool parse_filter_signature(std::string_view value, FilterEntry& entry);

}  // namespace qv
