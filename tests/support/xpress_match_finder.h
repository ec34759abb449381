// Greedy LZ77 parsing shared by the test encoders: a hash chain over
// 3-byte prefixes, bounded in length so that a few hundred KiB encode in
// milliseconds, yet long enough to find the long runs that repetitive data
// (zero fills, repeated path prefixes) produces.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kerf::testing {

// One step of a parse: a literal byte (length 0) or a match copying
// `length` bytes from `offset` bytes back.
struct LzToken {
  std::uint32_t length = 0;
  std::uint32_t offset = 0;
  std::uint8_t literal = 0;
};

struct MatchLimits {
  std::uint32_t max_offset = 65535;
  std::uint32_t min_length = 3;
  std::uint32_t max_length = 65538;
  unsigned max_chain = 32;   // candidates tried per position
  std::uint32_t segment = 0; // when non-zero, no match runs past a multiple of it
  bool literals_only = false;
};

std::vector<LzToken> greedy_parse(std::span<const std::uint8_t> data, const MatchLimits& limits);

}  // namespace kerf::testing
