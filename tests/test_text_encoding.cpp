// Text made from bytes: UTF-8 and wide conversions, line-break markers and
// GUID text.
#include "lib/text_encoding.h"
#include "lib/text_markers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace {

TEST(TextEncoding, Utf8AndWideUnitByUnit) {
  EXPECT_EQ(qv::wide_to_utf8(std::wstring{0x41, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF}),
            "\x41\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
  EXPECT_EQ(qv::wide_to_utf8(std::wstring{0xD83D, 0xDE00}), "\xED\xA0\xBD\xED\xB8\x80");  // never paired
  EXPECT_EQ(qv::wide_to_utf8(std::wstring{0x41, 0x110000, 0x42}), "\x41");  // stops beyond Unicode
  // Surrogates and overlong forms are taken as they decode; anything invalid
  // gives nothing at all.
  EXPECT_EQ(qv::utf8_to_wide("\xED\xA0\xBD\xC0\x80\xF0\x9F\x98\x80"), (std::wstring{0xD83D, 0, 0x1F600}));
  for (const char* invalid : {"\xC3\x28", "ok\x80", "\xF8\x88\x80\x80\x80", "\xE2\x82"}) {
    EXPECT_EQ(qv::utf8_to_wide(invalid), L"") << invalid;
  }
  std::wstring all;
  for (wchar_t cp = 1; cp <= 0x10FFFF; cp += 0x3F1) all.push_back(cp);
  EXPECT_EQ(qv::utf8_to_wide(qv::wide_to_utf8(all)), all);
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
    qv::mark_line_breaks(c.in);
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(TextMarkers, GuidFieldsAreLittleEndian) {
  const std::array<std::uint8_t, 16> guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                             0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(qv::guid_to_text(guid), "00112233-4455-6677-8899-aabbccddeeff");
}

}  // namespace
