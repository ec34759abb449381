// The hash of an executable's path: both functions against hashes Windows
// wrote into real Prefetch files' names, and the same hash written eight
// bytes a step. (Putting a path's hash together from its beginning and its
// rest is tested by the volume-number search.)
#include "prefetch/path_hash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> utf16le(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::vector<std::uint8_t> random_bytes(std::size_t count, std::mt19937& rng) {
  std::vector<std::uint8_t> bytes(count);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(PathHash, GivesTheHashesWindowsWroteIntoFileNames) {
  struct Case {
    std::uint32_t version;
    std::wstring path;
    std::uint32_t hash;  // from the file's name, EXE-XXXXXXXX.pf
  };
  const Case cases[] = {
      {17, L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE", 0x087B4001},
      {17, L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", 0x336351A9},
      {23, L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE", 0x89305D47},
      {23, L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\PING.EXE", 0xB29F6629},
      {26, L"\\DEVICE\\HARDDISKVOLUME2\\WINDOWS\\SYSTEM32\\CALC.EXE", 0x77FDF17F},
      {30, L"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CALC.EXE", 0x3FBEF7FD},
      {31, L"\\DEVICE\\HARDDISKVOLUME8\\WINDOWS\\SYSTEM32\\CMD.EXE", 0xD269B812},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << " " << std::hex << c.hash);
    EXPECT_EQ(kerf::path_hash(c.version, utf16le(c.path)), c.hash);
  }
}

// Version 17 multiplies the rolled state by 314159269, takes the product as
// a signed number made positive, and reduces it modulo 1000000007.
TEST(PathHash, VersionSeventeenScramblesTheRolledState) {
  constexpr std::uint32_t kScramble = 314159269;
  // The inverse of the odd multiplier modulo 2^32, by Newton's iteration.
  std::uint32_t inverse = kScramble;
  for (int i = 0; i < 5; ++i) inverse *= 2u - kScramble * inverse;
  ASSERT_EQ(inverse * kScramble, 1u);
  struct Case {
    std::uint32_t scrambled;
    std::uint32_t hash;
  };
  const Case cases[] = {
      {0x12345678, 0x12345678 % 1000000007},
      {0x7FFFFFFF, 2147483647u % 1000000007},
      {0x80000001, 0x7FFFFFFF % 1000000007},
      {0xFFFFFFFF, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.scrambled);
    EXPECT_EQ(kerf::path_hash_finish(17, c.scrambled * inverse), c.hash);
    EXPECT_EQ(kerf::path_hash_finish(23, c.scrambled), c.scrambled);
  }
}

// The hash of versions 23 and later written eight bytes a step: the state
// times 37^8 (which is -803794207 modulo 2^32) plus the first byte times 37^7
// (442596621) and the other seven in the usual way. It is the same function.
std::uint32_t hash_eight_bytes_a_step(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 314159;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint32_t step = 0;
    for (std::size_t k = 1; k < 8; ++k) step = step * 37 + bytes[i + k];
    step += bytes[i] * 442596621u;
    hash = step - hash * 803794207u;
  }
  for (; i < bytes.size(); ++i) hash = hash * 37 + bytes[i];
  return hash;
}

TEST(PathHash, EightBytesAStepIsTheSameFunction) {
  std::mt19937 rng(11);
  for (std::size_t length = 0; length <= 70; ++length) {
    const std::vector<std::uint8_t> bytes = random_bytes(length, rng);
    EXPECT_EQ(kerf::path_hash(23, bytes), hash_eight_bytes_a_step(bytes)) << length;
  }
  const auto path = utf16le(L"\\DEVICE\\HARDDISKVOLUME1\\WINDOWS\\SYSTEM32\\CMD.EXE");
  EXPECT_EQ(hash_eight_bytes_a_step(path), 0x89305D47u);
}

}  // namespace
