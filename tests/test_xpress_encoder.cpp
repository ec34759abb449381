// The test encoder's own guarantees that the decoder tests rely on: every
// table it writes is complete and at most 15 bits deep.
#include "tests/support/xpress_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

using kerf::testing::CodeLengths;

std::array<std::uint32_t, 512> frequencies_of(std::initializer_list<std::pair<int, std::uint32_t>> used) {
  std::array<std::uint32_t, 512> f{};
  for (const auto& [symbol, count] : used) f[static_cast<std::size_t>(symbol)] = count;
  return f;
}

TEST(XpressEncoder, CodeLengthsAreCompleteAndAtMostFifteenBits) {
  std::array<std::uint32_t, 512> fibonacci{};
  std::uint32_t a = 1, b = 1;
  for (int s = 0; s < 30; ++s) {  // forces a tree far deeper than 15
    fibonacci[static_cast<std::size_t>(s) * 3] = a;
    const std::uint32_t next = a + b;
    a = b;
    b = next;
  }
  std::array<std::uint32_t, 512> all{};
  all.fill(5);
  std::array<std::uint32_t, 512> skewed{};
  skewed.fill(1);
  skewed[0] = 1u << 30;

  struct Case {
    const char* name;
    std::array<std::uint32_t, 512> frequencies;
  };
  const Case cases[] = {
      {"one symbol", frequencies_of({{65, 10}})},
      {"symbol 0 alone", frequencies_of({{0, 3}})},
      {"two symbols", frequencies_of({{1, 1}, {511, 1000}})},
      {"fibonacci", fibonacci},
      {"all 512 equal", all},
      {"one dominant of 512", skewed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CodeLengths lengths = kerf::testing::huffman_code_lengths(c.frequencies);
    std::uint64_t kraft = 0;
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      EXPECT_LE(lengths[s], 15);
      if (c.frequencies[s] != 0) {
        EXPECT_GT(lengths[s], 0) << s;
      }
      if (lengths[s] != 0) kraft += std::uint64_t{1} << (15 - lengths[s]);
    }
    EXPECT_EQ(kraft, 32768u);
  }
}

TEST(XpressEncoder, BlockWriterPlacesExtraBytesWhereTheDecoderReadsThem) {
  // Two one-bit codes: 17 symbols make the writer fetch a third word before
  // the escape byte, exactly as a decoder refills before reading it.
  CodeLengths lengths{};
  lengths['a'] = 1;
  lengths[256 + 15] = 1;
  kerf::testing::XpressBlockWriter writer(lengths);
  for (int i = 0; i < 16; ++i) writer.literal('a');
  writer.match(20, 1);
  const kerf::testing::ByteVector block = writer.finish();
  ASSERT_EQ(block.size(), 256u + 6 + 1);
  EXPECT_EQ(block['a' / 2], 0x10);  // high nibble: odd symbol 'a'
  EXPECT_EQ(block[(256 + 15) / 2], 0x10);
  EXPECT_EQ(block[256], 0x00);  // 'a' x16 = code 0 x16
  EXPECT_EQ(block[257], 0x00);
  EXPECT_EQ(block[259], 0x80);  // the match code, first bit of the second word
  EXPECT_EQ(block[262], 20 - 18);
}

}  // namespace
