#include "driver/arg_list.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

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
