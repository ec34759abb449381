#include "driver/arg_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using kerf::ArgList;
using Words = std::vector<std::string>;

TEST(ArgList, FlagsMatchWithoutCaseAndOnlyWholeWords) {
  ArgList args(Words{"kerf", "-CSV", "-csvl2t", "-csv"});
  EXPECT_FALSE(args.take_flag("-cs"));
  EXPECT_TRUE(args.has("-csv"));
  EXPECT_EQ(args.size(), 4u);
  EXPECT_TRUE(args.take_flag("-csv"));
  EXPECT_EQ(args.words(), (Words{"kerf", "-csvl2t", "-csv"}));  // only the first one goes
}

TEST(ArgList, OptionValuesAreTakenWithTheirOption) {
  struct Case {
    Words args;
    std::optional<std::string> value;
    Words left;
  };
  const Case cases[] = {
      {{"kerf", "-Out", "r.txt", "x.pf"}, "r.txt", {"kerf", "x.pf"}},
      {{"kerf", "x.pf", "-out"}, std::nullopt, {"kerf", "x.pf", "-out"}},  // last word: left in place
      {{"kerf", "-out", "-out", "b"}, "-out", {"kerf", "b"}},
  };
  for (const auto& c : cases) {
    ArgList args(c.args);
    EXPECT_EQ(args.take_value("-out"), c.value);
    EXPECT_EQ(args.words(), c.left);
  }
  // Peeking from index 1 on leaves the list alone.
  const ArgList args(Words{"-dateformat", "kerf", "-DATEFORMAT", "dd/mm/yyyy"});
  EXPECT_EQ(args.peek_value("-dateformat", 1), "dd/mm/yyyy");
}

TEST(ArgList, NumberRule) {
  struct Case {
    const char* text;
    std::uint64_t value;
  };
  const Case cases[] = {
      {"  12 \t", 12}, {"0x1F", 31}, {"0X10", 16}, {"12abc", 12}, {"abc", 0},
      {"-1", 0},       {"0x", 0},    {"99999999999999999999999", UINT64_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(kerf::parse_number(c.text), c.value) << c.text;
}

}  // namespace
