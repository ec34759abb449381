#include "lib/arg_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using qv::arg_list;

TEST(ArgList, FlagsMatchWithoutCaseAndOnlyWholeWords) {
  arg_list args{"kerf", "-CSV", "-csvl2t", "-csv"};
  EXPECT_FALSE(qv::find_flag("-cs", args));
  EXPECT_TRUE(qv::find_flag("-csv", args, /*keep=*/true));
  EXPECT_EQ(args.size(), 4u);
  EXPECT_TRUE(qv::find_flag("-csv", args));
  EXPECT_EQ(args, (arg_list{"kerf", "-csvl2t", "-csv"}));  // only the first one goes
}

TEST(ArgList, OptionValuesAreTakenWithTheirOption) {
  struct Case {
    arg_list args;
    bool found;
    std::string value;
    arg_list left;
  };
  const Case cases[] = {
      {{"kerf", "-Out", "r.txt", "x.pf"}, true, "r.txt", {"kerf", "x.pf"}},
      {{"kerf", "x.pf", "-out"}, false, "", {"kerf", "x.pf", "-out"}},  // last word: left in place
      {{"kerf", "-out", "-out", "b"}, true, "-out", {"kerf", "b"}},
  };
  for (auto c : cases) {
    std::string value;
    EXPECT_EQ(qv::take_option_value("-out", value, c.args), c.found);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(c.args, c.left);
  }
  std::string value;  // peeking from index 1 on leaves the list alone
  EXPECT_TRUE(qv::peek_option_value("-dateformat", value, {"-dateformat", "kerf", "-DATEFORMAT", "dd/mm/yyyy"}, 1));
  EXPECT_EQ(value, "dd/mm/yyyy");
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
  for (const auto& c : cases) EXPECT_EQ(qv::parse_number(c.text), c.value) << c.text;
}

}  // namespace
