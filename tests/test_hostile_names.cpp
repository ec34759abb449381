// Names made safe to show: control bytes, C1 controls, bidirectional
// overrides and bytes that are not UTF-8 escaped, wherever they stand in the
// text (the scan takes eight bytes at a time); every other character, UTF-8
// included, unchanged. How each layout shows hostile names:
// test_cli_layouts.cpp.
#include "lib/text/escape.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(EscapeText, EveryUnsafeCharacterWhereverItStands) {
  const std::pair<std::string, std::string> escapes[] = {
      {std::string(1, '\0'), "\\x00"}, {"\x01", "\\x01"}, {"\n", "\\x0a"}, {"\x1f", "\\x1f"},
      {"\x7f", "\\x7f"},             {"\xc2\x80", "\\u0080"}, {"\xc2\x9b", "\\u009b"},  // C1, a terminal's CSI
      {"\xe2\x80\xaa", "\\u202a"},    {"\xe2\x80\xae", "\\u202e"}, {"\xe2\x81\xa6", "\\u2066"},
      {"\xe2\x81\xa9", "\\u2069"},    {"\xff", "\\xff"},       {"\xc0\xaf", "\\xc0\\xaf"},  // not UTF-8
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                                                 // a lone surrogate
  };
  // What must stay: blank, '~', a backslash, UTF-8 letters and symbols next
  // to the ranges above (U+00A0, U+202F, U+2065).
  const std::string filler = "a ~\\ \xc3\xa9 \xc2\xa0\xe2\x80\xaf\xe2\x81\xa5 z a ~ \xf0\x9f\x98\x80 q";
  for (const auto& [bad, shown] : escapes) {
    for (std::size_t at = 0; at <= filler.size(); ++at) {
      if (at < filler.size() && (static_cast<unsigned char>(filler[at]) & 0xC0) == 0x80) continue;  // inside a character
      std::string text = filler;
      text.insert(at, bad);
      std::string expected = filler;
      expected.insert(at, shown);
      std::string out;
      kerf::text::append_escaped(out, text);
      EXPECT_EQ(out, expected) << shown << " at " << at;
    }
  }
  std::string cut;  // a character cut off by the end of the text
  kerf::text::append_escaped(cut, "ab\xe2\x80");
  EXPECT_EQ(cut, "ab\\xe2\\x80");
}

}  // namespace
