#include "lib/string_ops.h"
#include "lib/text_markers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace {

TEST(StringOps, EqualsIgnoreCaseLowerCasesBothArgumentsOnlyWhenLengthsMatch) {
  std::string a = "-CSV", b = "-csv";
  EXPECT_TRUE(qv::equals_ignore_case(a, b));
  EXPECT_EQ(a, "-csv");

  std::string c = "-PIPE", d = "-Pipes";
  EXPECT_FALSE(qv::equals_ignore_case(c, d));
  EXPECT_EQ(c, "-PIPE");  // untouched when the lengths differ
  EXPECT_EQ(d, "-Pipes");

  std::string e = "\xC3\x89" "B", f = "\xC3\xA9" "b";  // only A-Z have a case
  EXPECT_FALSE(qv::equals_ignore_case(e, f));
  EXPECT_EQ(e, "\xC3\x89" "b");

  e = "AB", f = "aC";
  EXPECT_FALSE(qv::equals_ignore_case(e, f));
  EXPECT_EQ(e, "ab");
}

TEST(StringOps, ReplaceFirst) {
  struct Case {
    std::string text, needle, replacement;
    bool ignore_case;
    bool found;
    std::string result, needle_after;
  };
  const Case cases[] = {
      {"a-b-b", "b", "X", false, true, "a-X-b", "b"},
      {"C:\\Path\\Path", "PATH", "dir", true, true, "C:\\dir\\Path", "path"},
      {"C:\\Path", "PATH", "dir", false, false, "C:\\Path", "PATH"},
      {"abc", "abcd", "x", true, false, "abc", "abcd"},
      {"KeepCase", "case", "Y", true, true, "KeepY", "case"},
      {"", "x", "y", false, false, "", "x"},
  };
  for (Case c : cases) {
    EXPECT_EQ(qv::replace_first(c.text, c.needle, c.replacement, c.ignore_case), c.found)
        << c.result;
    EXPECT_EQ(c.text, c.result);
    EXPECT_EQ(c.needle, c.needle_after);
  }
}

TEST(StringOps, TrimWhitespace) {
  struct Case {
    std::string in, out;
    bool result;
  };
  const Case cases[] = {
      {"\t ab d \r\n", "ab d", true},
      {"  ", "", false},
      {"", "", false},
      {"\r\n\t", "", false},
      {"x", "x", true},
      {"a\v", "a\v", true},  // only space, tab, CR and LF count
  };
  for (Case c : cases) {
    EXPECT_EQ(qv::trim_whitespace(c.in), c.result);
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(StringOps, StripLineEndCountsEveryTrailingBreak) {
  struct Case {
    std::string in, out;
    std::size_t removed;
  };
  const Case cases[] = {
      {"a.pf\r\n", "a.pf", 2}, {"a.pf\n\r\n\r", "a.pf", 4}, {"a\r\nb", "a\r\nb", 0},
      {"\n\n", "", 2},         {"", "", 0},                 {"a \n", "a ", 1},
  };
  for (Case c : cases) {
    EXPECT_EQ(qv::strip_line_end(c.in), c.removed);
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(StringOps, ReplaceChar) {
  struct Case {
    std::string in;
    char from, to;
    bool ignore_case;
    std::string out;
  };
  const Case cases[] = {
      {"C:\\out\\r.csv", '\\', '/', false, "C:/out/r.csv"},
      {"aAbB", 'a', '-', false, "-AbB"},
      {"aAbB", 'a', '-', true, "--bB"},
      {"aAbB", 'B', 'x', true, "aAxx"},
      {"aaa", 'a', 'a', true, "aaa"},
  };
  for (Case c : cases) {
    qv::replace_char(c.in, c.from, c.to, c.ignore_case);
    EXPECT_EQ(c.in, c.out);
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
      {"\n\r\r\n", "[LFCR][CRLF]"},
      {"\r\n\r", "[CRLF]\r"},
      {"\r\r", "[CR][CR]"},
      {"\n", "[LF]"},
      {"plain text", "plain text"},
      {"", ""},
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
