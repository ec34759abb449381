// Reading -filter and -filter_sig values into filter entries.
#include "lib/input_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qv::FilterEntry;

// One expected entry: its token, its name pattern, and its flags as letters
// (A match all, L leading and T trailing wildcard, P path, S stream, then
// for the stream pattern a match all, l leading, t trailing).
struct Expected {
  const wchar_t* token;
  const wchar_t* name;
  const char* flags;
  const wchar_t* stream = L"";
};

std::string flags_of(const FilterEntry& e) {
  std::string flags;
  if (e.match_all) flags += 'A';
  if (e.leading_wildcard) flags += 'L';
  if (e.trailing_wildcard) flags += 'T';
  if (e.is_path) flags += 'P';
  if (e.has_stream) flags += 'S';
  if (e.stream_match_all) flags += 'a';
  if (e.stream_leading_wildcard) flags += 'l';
  if (e.stream_trailing_wildcard) flags += 't';
  return flags;
}

TEST(FilterPatterns, Table) {
  struct Case {
    const char* value;
    std::vector<Expected> entries;
  };
  const std::vector<Case> cases = {
      {"*.PF", {{L"*.pf", L".pf", "L"}}},
      {"*partial*", {{L"*partial*", L"partial", "LT"}}},
      {"app*", {{L"app*", L"app", "T"}}},
      {"a*b", {{L"a*b", L"ab", ""}}},
      {"**x", {{L"**x", L"x", "L"}}},
      {"x**", {{L"x**", L"x", "T"}}},
      {"/Windows/Prefetch", {{L"/windows/prefetch", L"/windows/prefetch", "P"}}},
      {"*/prefetch", {{L"*/prefetch", L"/prefetch", "LP"}}},
      {"a,b", {{L"a", L"a", ""}, {L"b", L"b", ""}}},
      {" a | ,b", {{L"a", L"a", ""}, {L",b", L",b", ""}, {L"a |", L"a |", ""}, {L"b", L"b", ""}}},
      {"a|b,c", {{L"a", L"a", ""}, {L"b,c", L"b,c", ""}, {L"a|b", L"a|b", ""}, {L"c", L"c", ""}}},
      {"|", {{L"|", L"|", ""}}},  // no piece left: the whole value is the pattern
      {"*", {{L"*", L"*", "A"}}},
      {"x|*", {{L"*", L"*", "A"}}},
      {"*.pf|*|y", {{L"*", L"*", "AL"}}},  // cut back to the first entry, which keeps its flags
      {"cmd*|*.pf", {{L"cmd*", L"cmd", "T"}, {L"*.pf", L".pf", "L"}}},
      {"*.pf:zone*", {{L"*.pf:zone*", L".pf", "LSt", L"zone"}}},
      {"x.pf:*", {{L"x.pf:*", L"x.pf", "Sa", L"*"}}},
      {"*:*ads", {{L"*:*ads", L"*", "ASl", L"ads"}}},
      {"a:b:c", {{L"a:b:c", L"a", "S", L"b:c"}}},
      {"\xC3\x89T\xC3\xA9*",
       {{L"\u00c9t\u00e9*", L"\u00c9t\u00e9", "T"}}},  // only ASCII lower-cased
  };
  for (const Case& c : cases) {
    const std::vector<FilterEntry> entries = qv::parse_filter_patterns(c.value);
    ASSERT_EQ(entries.size(), c.entries.size()) << c.value;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].token, c.entries[i].token) << c.value << " #" << i;
      EXPECT_EQ(entries[i].name_pattern, c.entries[i].name) << c.value << " #" << i;
      EXPECT_EQ(flags_of(entries[i]), c.entries[i].flags) << c.value << " #" << i;
      EXPECT_EQ(entries[i].stream_pattern, c.entries[i].stream) << c.value << " #" << i;
      EXPECT_TRUE(entries[i].content_bytes.empty());
    }
  }
}

TEST(FilterSignature, Table) {
  struct Case {
    const char* value;
    bool ok;
    std::vector<std::uint8_t> bytes;
    std::uint64_t offset;
  };
  const std::vector<Case> cases = {
      {"4D414D04", true, {0x4d, 0x41, 0x4d, 0x04}, 0},
      {"0x53434341|4", true, {0x53, 0x43, 0x43, 0x41}, 4},
      {"53434341,0x10", true, {0x53, 0x43, 0x43, 0x41}, 16},
      {"aBcD| 12 ", true, {0xab, 0xcd}, 12},
      {"00|1,2", true, {0x00}, 1},  // a bar wins over a comma
      {" ff ", true, {0xff}, 0},
      {"ff|", true, {0xff}, 0},
      {"", false, {}, 0},
      {"0x", false, {}, 0},
      {"|4", false, {}, 0},
      {"abc", false, {}, 0},    // odd digit count
      {"4g", false, {}, 0},     // not a hex digit
      {"4d 41", false, {}, 0},  // no spaces inside
      {"-4d", false, {}, 0},
  };
  for (const Case& c : cases) {
    FilterEntry entry;
    entry.token = L"untouched";
    ASSERT_EQ(qv::parse_filter_signature(c.value, entry), c.ok) << c.value;
    if (!c.ok) {
      EXPECT_EQ(entry.token, L"untouched") << c.value;
      continue;
    }
    EXPECT_EQ(entry.content_bytes, c.bytes) << c.value;
    EXPECT_EQ(entry.content_offset, c.offset) << c.value;
    EXPECT_TRUE(entry.name_pattern.empty()) << c.value;
    EXPECT_FALSE(entry.match_all) << c.value;
  }
}

}  // namespace
