#include "lib/byte_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace {

constexpr std::array<std::uint8_t, 10> kBytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};

TEST(ByteReader, ReadsLittleEndianInsideTheSpan) {
  const qv::ByteReader reader{kBytes};
  EXPECT_EQ(reader.u8(9), 0x0A);
  EXPECT_EQ(reader.u16(0), 0x0201);
  EXPECT_EQ(reader.u32(6), 0x0A090807u);
  EXPECT_EQ(reader.u64(2), 0x0A09080706050403ull);
}

TEST(ByteReader, RefusesReadsThatReachPastTheEnd) {
  const qv::ByteReader reader{kBytes};
  struct Case {
    std::uint64_t offset;
    int width;
  };
  for (const Case c : {Case{10, 1}, Case{9, 2}, Case{7, 4}, Case{3, 8},
                       Case{std::numeric_limits<std::uint64_t>::max(), 1},
                       Case{std::numeric_limits<std::uint64_t>::max() - 1, 4}}) {
    SCOPED_TRACE(c.offset);
    switch (c.width) {
      case 1: EXPECT_FALSE(reader.u8(c.offset)); break;
      case 2: EXPECT_FALSE(reader.u16(c.offset)); break;
      case 4: EXPECT_FALSE(reader.u32(c.offset)); break;
      default: EXPECT_FALSE(reader.u64(c.offset)); break;
    }
  }
  EXPECT_EQ(reader.u16_or(9, 0xBEEF), 0xBEEF);
  EXPECT_TRUE(reader.bytes(8, 3).empty());
  EXPECT_EQ(reader.bytes(8, 2).size(), 2u);
  EXPECT_FALSE(reader.fits(11, 0));
  EXPECT_TRUE(reader.fits(10, 0));
}

TEST(ByteReader, TailHeadAndMatch) {
  const qv::ByteReader reader{kBytes};
  EXPECT_EQ(reader.tail(8).size(), 2u);
  EXPECT_TRUE(reader.tail(10).empty());
  EXPECT_TRUE(reader.tail(1000).empty());
  EXPECT_EQ(reader.head(3).size(), 3u);
  EXPECT_EQ(reader.head(30).size(), 10u);
  EXPECT_EQ(reader.remaining(4), 6u);
  EXPECT_EQ(reader.remaining(40), 0u);
  EXPECT_TRUE(reader.matches(1, "\x02\x03"));
  EXPECT_FALSE(reader.matches(9, "\x0A\x0B"));
}

}  // namespace
