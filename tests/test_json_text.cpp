// The text rules of the JSON layouts: names made well-formed UTF-8, strings
// escaped, times in ISO 8601 or null. How whole records look:
// test_cli_layouts.cpp; an independent parser reads them in json_lines/.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "lib/text/utf8_repair.h"
#include "lib/time/instant.h"
#include "report/json_writer.h"

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf8Repair, KeepsCharactersAndReplacesWhatIsNoCharacter) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\x9B", "caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\x9B"},  // well formed
      {"a\xC0\xAF" "b", "a" + kFffd + kFffd + "b"},                // overlong: one per byte
      {"\xE2\x82", kFffd + kFffd},                                 // cut short
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},        // beyond U+10FFFF
      {"\xFF", kFffd},
      {"a\xED\xA0\x80" "b", "a" + kFffd + "b"},                   // lone high surrogate
      {"\xED\xBF\xBF", kFffd},                                     // lone low surrogate
      {"\xED\xA0\xBD\xED\xB8\x80", "\xF0\x9F\x98\x80"},            // a pair: U+1F600
      {"\xED\xA0\x80\xED\xBF\xBF", "\xF0\x90\x8F\xBF"},            // D800 DFFF: U+103FF
      {"\xED\xAF\xBF\xED\xB0\x80", "\xF4\x8F\xB0\x80"},            // DBFF DC00: U+10FC00
      {"\xF0\xA0\x80", kFffd + kFffd + kFffd},                   // cut short, no surrogate
      {"\xED\xBF\xBF\xED\xA0\x80", kFffd + kFffd},                 // low then high
      {"\xED\xA0\x80\xED\xA0\x80", kFffd + kFffd},                 // high then high
      {"\xED\xA0\x80\xED\xBF", kFffd + kFffd + kFffd},             // the partner cut short
      {"\xED\xA0", kFffd + kFffd},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    kerf::text::append_repaired_utf8(out, c.in);
    EXPECT_EQ(out, "<" + c.out) << testing::PrintToString(c.in);
  }
}

TEST(Utf8Repair, AsciiTestSeesAHighByteAnywhere) {
  const std::string plain = "0123456789abcdefghij";
  EXPECT_TRUE(kerf::text::is_ascii(plain));
  for (std::size_t at = 0; at < plain.size(); ++at) {
    std::string text = plain;
    text[at] = '\x80';
    EXPECT_FALSE(kerf::text::is_ascii(text)) << at;
  }
}

TEST(JsonString, EscapesWhatJsonRequiresAndTerminalControls) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"\"", R"(\")"},   {"\\", R"(\\)"},   {"\b", R"(\b)"},     {"\f", R"(\f)"},
      {"\n", R"(\n)"},   {"\r", R"(\r)"},   {"\t", R"(\t)"},     {std::string(1, '\0'), R"(\u0000)"},
      {"\x1b", R"(\u001b)"},  {"\x1f", R"(\u001f)"},  {"\x7f", R"(\u007f)"},
      {"\xC2\x80", R"(\u0080)"}, {"\xC2\x9B", R"(\u009b)"},  // C1 controls
      {"\xC2\xA0\xC3\xA9/ ~", "\xC2\xA0\xC3\xA9/ ~"},       // everything else as it is
  };
  for (const Case& c : cases) {
    std::string out = "<";
    kerf::append_json_string(out, c.in);
    EXPECT_EQ(out, "<\"" + c.out + "\"") << testing::PrintToString(c.in);
  }
  // Wherever the byte stands among plain ones (eight are tested at a time).
  const std::string filler = "abcdefghijklmnopqrstuvwxyz";
  for (const auto& [bad, shown] : {std::pair<char, std::string>{'"', R"(\")"}, {'\\', R"(\\)"}, {'\x01', R"(\u0001)"},
                                   {'\x7f', R"(\u007f)"}, {' ', " "}}) {
    for (std::size_t at = 0; at < filler.size(); ++at) {
      std::string text = filler;
      text[at] = bad;
      std::string out = "<";
      kerf::append_json_string(out, text);
      std::string expected = "<\"";
      expected.append(filler, 0, at).append(shown).append(filler, at + 1).push_back('"');
      EXPECT_EQ(out, expected) << shown << " at " << at;
    }
  }
}

// Nothing after the end of the text is read, wherever the last special
// byte stands (the sanitizer build sees a read past these exact-size
// buffers).
TEST(JsonString, ReadsNothingPastTheEnd) {
  const std::string text = "abcdefghijklmnopqrstuvwxyz";
  for (std::size_t length = 1; length <= text.size(); ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      std::vector<char> exact(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
      exact[at] = '"';
      std::string out;
      kerf::append_json_string(out, std::string_view(exact.data(), exact.size()));
      EXPECT_EQ(out.size(), length + 3) << length << " " << at;
    }
  }
}

// A record is one whole JSON value; anything else is refused before it can
// reach the output.
TEST(JsonLineWriter, RefusesWhatIsNotOneJsonValue) {
  using Writer = kerf::JsonLineWriter;
  const std::vector<std::pair<const char*, void (*)(Writer&)>> cases = {
      {"nothing", [](Writer&) {}},
      {"an open object", [](Writer& w) { w.begin_object(); }},
      {"a name and no value", [](Writer& w) { w.begin_object(), w.key("a"); }},
      {"a value without a name", [](Writer& w) { w.begin_object(), w.number(1); }},
      {"a name in an array", [](Writer& w) { w.begin_array(), w.key("a"); }},
      {"a name outside", [](Writer& w) { w.key("a"); }},
      {"two values", [](Writer& w) { w.null(), w.null(); }},
      {"an array closed as an object", [](Writer& w) { w.begin_array(), w.end_object(); }},
      {"closing what is not open", [](Writer& w) { w.end_array(); }},
  };
  for (const auto& [what, write] : cases) {
    std::string out;
    Writer writer(out);
    EXPECT_THROW((write(writer), writer.end_line()), std::logic_error) << what;
  }
  std::string out;
  Writer writer(out);
  writer.begin_object(), writer.key("a"), writer.begin_array(), writer.number(1), writer.null();
  writer.end_array(), writer.key("b"), writer.optional_boolean(true), writer.end_object(), writer.end_line();
  writer.hex32(0xABC), writer.end_line();
  EXPECT_EQ(out, "{\"a\":[1,null],\"b\":true}\n\"00000ABC\"\n");
}

TEST(JsonTime, SevenDigitsInsideTheYears1900To3000) {
  constexpr std::uint64_t k1900 = 94'354'848'000'000'000;
  constexpr std::uint64_t k3001 = 441'796'896'000'000'000;
  constexpr std::uint64_t kUnixEpoch = kerf::time::kUnixEpochFiletime;
  struct Case {
    std::uint64_t filetime;
    std::string text;
  };
  const Case cases[] = {
      {130970237009851234ull, "2016-01-11T22:08:20.9851234Z"},
      {130967964010000001ull, "2016-01-09T07:00:01.0000001Z"},
      {k1900, "1900-01-01T00:00:00.0000000Z"},
      {k3001 - 1, "3000-12-31T23:59:59.9999999Z"},
      {kUnixEpoch + 10'000'000, "1970-01-01T00:00:01.0000000Z"},
      {0, ""},
      {k1900 - 1, ""},
      {k3001, ""},  // in every time zone, even where it is still 3000
      {kUnixEpoch + 9'999'999, ""},  // the first second of 1970: an unset Unix time
      {0x8000000000000000ull, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    kerf::append_json_time(out, c.filetime);
    EXPECT_EQ(out, c.text) << c.filetime;
    EXPECT_EQ(kerf::has_json_time(c.filetime), !c.text.empty()) << c.filetime;
  }
}

}  // namespace
