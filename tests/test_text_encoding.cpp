#include "lib/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideToUtf8, EncodesEveryWidthAndStopsBeyondUnicode) {
  struct Case {
    std::wstring wide;
    std::string utf8;
  };
  const Case cases[] = {
      {{0x41, 0xE9, 0x1F600}, "\x41\xC3\xA9\xF0\x9F\x98\x80"},
      {{0xD83D}, "\xED\xA0\xBD"},  // a lone surrogate stays three bytes
      {{0xD83D, 0xDE00}, "\xED\xA0\xBD\xED\xB8\x80"},  // no pairing
      {{0x41, 0x110000, 0x42}, "\x41"},
      {{0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF},
       "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qv::wide_to_utf8(c.wide), c.utf8);
  }
}

TEST(Utf8ToWide, DecodesStrictlyAndDropsEverythingOnError) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  };
  const Case cases[] = {
      {"abc", L"abc"},
      {"\xC3\xA9\xF0\x9F\x98\x80", {0xE9, 0x1F600}},
      {"\xED\xA0\xBD", {0xD83D}},  // surrogates accepted as they decode
      {"\xC0\x80", {0}},           // overlong forms accepted as they decode
      {"\xC3\x28", L""},           // wrong continuation byte
      {"ok\x80", L""},             // stray continuation byte
      {"\xF8\x88\x80\x80\x80", L""},  // five-byte lead
      {"\xE2\x82", L""},           // cut off by the end
      {"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qv::utf8_to_wide(c.utf8), c.wide) << c.utf8;
  }
}

TEST(Utf8ToWide, RoundTripsEveryPlane) {
  std::wstring all;
  for (wchar_t cp = 1; cp <= 0x10FFFF; cp += 0x3F1) all.push_back(cp);
  EXPECT_EQ(qv::utf8_to_wide(qv::wide_to_utf8(all)), all);
}

}  // namespace
