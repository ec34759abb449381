// Text made from the bytes of names: UTF-8 encoded, line breaks
// marked, unsafe characters escaped for the text layouts, and for the JSON
// layouts made well-formed and escaped as JSON requires. How each layout
// shows hostile names: test_cli_layouts.cpp.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/text/escape.h"
#include "lib/text/line_breaks.h"
#include "lib/text/utf8.h"
#include "lib/text/utf8_repair.h"
#include "report/json_writer.h"

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf8, EncodesEachCodePoint) {
  std::string encoded;
  for (const char32_t cp : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu, 0xD83Du}) {
    kerf::text::append_utf8(encoded, cp);
  }
  kerf::text::append_utf8(encoded, 0x110000);  // beyond Unicode: nothing
  EXPECT_EQ(encoded, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xED\xA0\xBD");
}

// Where marks could be read two ways (the layouts' tests show each mark).
TEST(TextMarkers, MarkLineBreaks) {
  const std::pair<std::string, std::string> cases[] = {
      {"\n\r\n", "[LF][CRLF]"},  // the CR belongs to the CR LF pair
      {"\r\n\r", "[CRLF]\r"},
      {"\r\r", "[CR][CR]"},
  };
  for (auto [in, out] : cases) {
    kerf::text::mark_line_breaks(in);
    EXPECT_EQ(in, out);
  }
}

// Control bytes, C1 controls, characters no one sees and bytes that are not
// UTF-8 are escaped wherever they stand in the text (the scan takes eight
// bytes at a time); every other character, UTF-8 included, stays.
TEST(EscapeText, EveryUnsafeCharacterWhereverItStands) {
  const std::pair<std::string, std::string> escapes[] = {
      {std::string(1, '\0'), "\\x00"}, {"\n", "\\x0a"}, {"\x1f", "\\x1f"}, {"\x7f", "\\x7f"},
      {"\xc2\x80", "\\u0080"}, {"\xc2\x9b", "\\u009b"},  // C1, a terminal's CSI
      {"\xe2\x80\xaa", "\\u202a"}, {"\xe2\x80\xae", "\\u202e"}, {"\xe2\x81\xa6", "\\u2066"},
      {"\xe2\x81\xa9", "\\u2069"}, {"\xff", "\\xff"}, {"\xc0\xaf", "\\xc0\\xaf"},  // not UTF-8
      // Characters no one sees: a paragraph separator, a direction mark,
      // zero-width space, soft hyphen, a Hangul filler, a variation selector,
      // a tag (beyond U+FFFF). (U+0001, U+2028, U+200F and U+FEFF: the
      // hostile names of every text layout.)
      {"\xe2\x80\xa9", "\\u2029"}, {"\xe2\x80\x8e", "\\u200e"}, {"\xd8\x9c", "\\u061c"},
      {"\xe2\x80\x8b", "\\u200b"}, {"\xc2\xad", "\\u00ad"}, {"\xe3\x85\xa4", "\\u3164"},
      {"\xef\xb8\x8f", "\\ufe0f"}, {"\xf3\xa0\x80\x81", "\\U000e0001"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a lone surrogate
  };
  // What must stay: blank, '~', a backslash, UTF-8 letters and symbols next
  // to the ranges above (U+00A0, U+202F, U+2027, U+2070, U+FFFC).
  const std::string filler =
      "a ~\\ \xc3\xa9 \xc2\xa0\xe2\x80\xaf\xe2\x80\xa7\xe2\x81\xb0\xef\xbf\xbc z a ~ \xf0\x9f\x98\x80 q";
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

// For JSON every string must be well-formed UTF-8: a byte that starts no
// character becomes U+FFFD, and so does a lone UTF-16 surrogate (which the
// names of a Prefetch file arrive as, three bytes each); a pair stored as two
// such sequences becomes its character.
TEST(Utf8Repair, KeepsCharactersAndReplacesWhatIsNoCharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\x9B", "caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\x9B"},  // well formed
      {"a\xC0\xAF" "b", "a" + kFffd + kFffd + "b"},                // overlong: one per byte
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},        // beyond U+10FFFF
      {"a\xED\xA0\x80" "b", "a" + kFffd + "b"},                   // lone high surrogate
      {"\xED\xBF\xBF", kFffd},                                     // lone low surrogate
      {"\xED\xA0\xBD\xED\xB8\x80", "\xF0\x9F\x98\x80"},            // a pair: U+1F600
      {"\xED\xAF\xBF\xED\xB0\x80", "\xF4\x8F\xB0\x80"},            // DBFF DC00: U+10FC00
      {"\xF0\xA0\x80", kFffd + kFffd + kFffd},                   // cut short, no surrogate
      {"\xED\xBF\xBF\xED\xA0\x80", kFffd + kFffd},                 // low then high
      {"\xED\xA0\x80\xED\xBF", kFffd + kFffd + kFffd},             // the partner cut short
  };
  for (const auto& [in, out] : cases) {
    std::string repaired = "<";
    kerf::text::append_repaired_utf8(repaired, in);
    EXPECT_EQ(repaired, "<" + out) << testing::PrintToString(in);
  }
  // The quick test that skips the repair sees a high byte anywhere.
  const std::string plain = "0123456789abcdefghij";
  EXPECT_TRUE(kerf::text::is_ascii(plain));
  for (std::size_t at = 0; at < plain.size(); ++at) {
    std::string text = plain;
    text[at] = '\x80';
    EXPECT_FALSE(kerf::text::is_ascii(text)) << at;
  }
}

// What JSON requires escaped, and DEL, the C1 controls and the characters
// no one sees too, so that no name reaches a terminal as a command or
// splits a line; wherever the byte stands, and with nothing read past the
// end of an exact-size buffer (the sanitizer build sees that). Quotes,
// backslashes, line breaks, tabs, ESC, U+2028 and U+FEFF: the hostile names
// of the JSON layouts' whole outputs.
TEST(JsonString, EscapesWhatJsonRequiresAndTerminalControls) {
  const std::pair<std::string, std::string> cases[] = {
      {"\b", R"(\b)"}, {"\f", R"(\f)"}, {std::string(1, '\0'), R"(\u0000)"}, {"\x1f", R"(\u001f)"},
      {"\x7f", R"(\u007f)"}, {"\xC2\x80", R"(\u0080)"}, {"\xC2\x9B", R"(\u009b)"},  // C1 controls
      {"\xF3\xA0\x80\x81", R"(\udb40\udc01)"},                                  // beyond U+FFFF: a pair
      {"\xC2\xA0\xC3\xA9/ ~", "\xC2\xA0\xC3\xA9/ ~"},                         // everything else as it is
  };
  const std::string filler = "abcdefghijklmnopq";
  for (const auto& [bad, shown] : cases) {
    for (std::size_t at = 0; at <= filler.size(); ++at) {
      std::string text = filler;
      text.insert(at, bad);
      const std::vector<char> exact(text.begin(), text.end());
      std::string out = "<";
      kerf::append_json_string(out, std::string_view(exact.data(), exact.size()));
      EXPECT_EQ(out, "<\"" + filler.substr(0, at) + shown + filler.substr(at) + "\"") << shown << " at " << at;
    }
  }
}

}  // namespace
