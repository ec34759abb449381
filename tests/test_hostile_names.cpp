// Control bytes in names written as \xNN, wherever they stand in the text
// (the scan takes eight bytes at a time); every other byte, UTF-8 included,
// unchanged. How each layout shows hostile names: test_cli_layouts.cpp.
#include "lib/text/escape.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(EscapeControlChars, FindsEveryControlByteWhereverItStands) {
  const std::pair<char, std::string> escapes[] = {
      {'\0', "\\x00"}, {'\x01', "\\x01"}, {'\n', "\\x0a"}, {'\x1f', "\\x1f"}, {'\x7f', "\\x7f"}};
  // Bytes that must stay: blank, '~', a backslash, bytes from 0x80 up.
  const std::string filler = "a ~\x80\xff\xc3\xa9\\ a ~\x80\xff\xc3\xa9z a ~\x80\xff\xc3\xa9z";
  for (const auto& [bad, shown] : escapes) {
    for (std::size_t at = 0; at < filler.size(); ++at) {
      std::string text = filler;
      text[at] = bad;
      const std::string expected = filler.substr(0, at) + shown + filler.substr(at + 1);
      std::string appended = "<";
      kerf::text::append_escaped(appended, text);
      EXPECT_EQ(appended, "<" + expected) << shown << " at " << at;
    }
  }
  std::string text;
  kerf::text::append_escaped(text, filler + "\r\n");
  EXPECT_EQ(text, filler + "\\x0d\\x0a");
}

}  // namespace
