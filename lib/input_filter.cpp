#include "lib/input_filter.h"

#include <string>

#include "lib/arg_list.h"
#include "lib/string_ops.h"
#include "lib/text_encoding.h"

namespace qv {

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Appends the pieces of `text` between `separator`s, trimmed of white space;
// empty pieces are dropped.
void append_pieces(const std::wstring& text, wchar_t separator, std::vector<std::wstring>& pieces) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::wstring::npos) end = text.size();
    std::size_t first = start;
    std::size_t last = end;
    while (first < last && is_blank(text[first])) ++first;
    while (last > first && is_blank(text[last - 1])) --last;
    if (last > first) pieces.push_back(text.substr(first, last - first));
    start = end + 1;
  }
}

// Removes the '*'s of a pattern one by one from the left; a star standing
// first when it is removed marks a leading wildcard, one standing last a
// trailing wildcard, and any other one just goes.
void remove_wildcards(std::wstring& pattern, bool& leading, bool& trailing) {
  for (std::size_t at = pattern.find(L'*'); at != std::wstring::npos; at = pattern.find(L'*')) {
    if (at == 0) leading = true;
    if (at + 1 == pattern.size()) trailing = true;
    pattern.erase(at, 1);
  }
}

FilterEntry make_entry(const std::wstring& token) {
  FilterEntry entry;
  entry.token = token;
  entry.name_pattern = token;
  const std::size_t colon = token.find(L':');
  if (colon != std::wstring::npos) {
    entry.has_stream = true;
    entry.stream_pattern = token.substr(colon + 1);
    entry.name_pattern.resize(colon);
    if (entry.stream_pattern == L"*") {
      entry.stream_match_all = true;
    } else {
      remove_wildcards(entry.stream_pattern, entry.stream_leading_wildcard,
                       entry.stream_trailing_wildcard);
    }
  }
  if (entry.name_pattern == L"*") {
    entry.match_all = true;
    return entry;
  }
  remove_wildcards(entry.name_pattern, entry.leading_wildcard, entry.trailing_wildcard);
  entry.is_path = !entry.name_pattern.empty() && entry.name_pattern.front() == L'/';
  return entry;
}

}  // namespace

std::vector<FilterEntry> parse_filter_patterns(std::string_view value) {
  std::string lowered(value);
  to_lower(lowered);
  const std::wstring text = utf8_to_wide(lowered);

  // A value such as "a|b,c" is read both ways, split at the bars and split at
  // the commas: a name that contains one of the two characters can still be
  // given as one pattern.
  std::vector<std::wstring> tokens;
  if (text.find(L'|') != std::wstring::npos) append_pieces(text, L'|', tokens);
  if (text.find(L',') != std::wstring::npos) append_pieces(text, L',', tokens);
  if (tokens.empty()) tokens.push_back(text);

  std::vector<FilterEntry> entries;
  entries.reserve(tokens.size());
  for (const std::wstring& token : tokens) {
    if (token == L"*") {
      // Everything passes: one entry says so, the others would only cost time.
      if (entries.empty()) entries.emplace_back();
      entries.resize(1);
      FilterEntry& all = entries.front();
      all.match_all = true;
      all.token = L"*";
      all.name_pattern = L"*";
      break;
    }
    entries.push_back(make_entry(token));
  }
  return entries;
}

bool parse_filter_signature(std::string_view value, FilterEntry& entry) {
  std::string_view pattern = value;
  std::string_view offset;
  std::size_t split = value.find('|');
  if (split == std::string_view::npos) split = value.find(',');
  if (split != std::string_view::npos) {
    pattern = value.substr(0, split);
    offset = value.substr(split + 1);
  }

  std::string digits(pattern);
  trim_whitespace(digits);
  std::string_view hex = digits;
  if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.remove_prefix(2);
  if (hex.empty() || hex.size() % 2 != 0) return false;

  std::vector<std::uint8_t> bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hex_digit_value(hex[i]);
    const int low = hex_digit_value(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }

  entry = FilterEntry{};
  entry.content_bytes = std::move(bytes);
  entry.content_offset = parse_number(offset);
  return true;
}

}  // namespace qv
