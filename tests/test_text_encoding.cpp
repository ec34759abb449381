// Text made from bytes: the UTF-8 decoder and encoder, and line-break markers.
#include <gtest/gtest.h>

#include <string>

#include "lib/text/line_breaks.h"
#include "lib/text/utf8.h"

namespace {

TEST(Utf8, EncodesEachCodePointAndDecodesOnlyWellFormedSequences) {
  std::string encoded;
  for (const char32_t cp : {0x41u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu, 0xD83Du}) {
    kerf::text::append_utf8(encoded, cp);
  }
  kerf::text::append_utf8(encoded, 0x110000);  // beyond Unicode: nothing
  EXPECT_EQ(encoded, "\x41\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xED\xA0\xBD");

  struct Case {
    const char* text;
    char32_t code_point;
    std::size_t length;
    bool valid;
  };
  const Case cases[] = {
      {"A", 0x41, 1, true},
      {"\xC3\xA9", 0xE9, 2, true},
      {"\xF0\x9F\x98\x80", 0x1F600, 4, true},
      {"\xC2\x9B", 0x9B, 2, true},    // a C1 control is well formed
      {"\xC0\xAF", 0xC0, 1, false},   // overlong
      {"\xED\xA0\xBD", 0xED, 1, false},  // a surrogate
      {"\xF4\x90\x80\x80", 0xF4, 1, false},  // beyond U+10FFFF
      {"\xE2\x82", 0xE2, 1, false},   // cut short
      {"\x80", 0x80, 1, false},
      {"\xC3\x28", 0xC3, 1, false},
  };
  for (const Case& c : cases) {
    const kerf::text::Utf8Char got = kerf::text::decode_utf8_char(c.text);
    EXPECT_EQ(got.code_point, c.code_point) << c.text;
    EXPECT_EQ(got.length, c.length) << c.text;
    EXPECT_EQ(got.valid, c.valid) << c.text;
  }
}

TEST(TextMarkers, MarkLineBreaks) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"a\r\nb\nd", "a[CRLF]b[LF]d"},
      {"a\rb", "a[CR]b"},
      {"a\rb\nd", "a\rb[LF]d"},  // a CR away from an LF stays in text with an LF
      {"a\n\rb", "a[LFCR]b"},
      {"\n\r\n", "[LF][CRLF]"},  // the CR belongs to the CR LF pair
      {"\r\n\r", "[CRLF]\r"},
      {"\r\r", "[CR][CR]"},
      {"plain text", "plain text"},
  };
  for (Case c : cases) {
    kerf::text::mark_line_breaks(c.in);
    EXPECT_EQ(c.in, c.out);
  }
}

}  // namespace
