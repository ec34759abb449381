#include "lib/io/byte_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace {

TEST(ByteReader, ReadsLittleEndianAndRefusesReadsPastTheEnd) {
  constexpr std::array<std::uint8_t, 10> kBytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const kerf::io::ByteReader reader{kBytes};
  EXPECT_EQ(reader.u16(8), 0x0A09);
  EXPECT_EQ(reader.u32(6), 0x0A090807u);
  EXPECT_EQ(reader.u64(2), 0x0A09080706050403ull);
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  EXPECT_FALSE(reader.u8(10));
  EXPECT_FALSE(reader.u16(9));
  EXPECT_FALSE(reader.u32(7));
  EXPECT_FALSE(reader.u64(3));
  EXPECT_FALSE(reader.u8(kMax));
  EXPECT_FALSE(reader.u32(kMax - 1));  // offset + size wraps around
  EXPECT_TRUE(reader.bytes(8, 3).empty());
  EXPECT_TRUE(reader.bytes(kMax, 2).empty());
  EXPECT_FALSE(reader.matches(9, "\x0A\x0B"));
}

}  // namespace
