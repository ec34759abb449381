// Greedy LZ77 parsing shared by the test encoders: a hash chain over
// 3-byte prefixes, bounded in length so that a few hundred KiB encode in
// milliseconds, yet long enough to find the long runs that repetitive data
// (zero fills, repeated path prefixes) produces.
#include <algorithm>
#include <utility>

#include "tests/support/xpress_encoder.h"

namespace kerf::testing {

namespace {

constexpr unsigned kHashBits = 15;
constexpr unsigned kMaxChain = 32;  // candidates tried per position

std::uint32_t hash3(std::span<const std::uint8_t> data, std::size_t i) {
  const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

std::vector<LzToken> greedy_parse(std::span<const std::uint8_t> data, std::uint32_t max_offset,
                                  std::uint32_t max_length) {
  const std::size_t n = data.size();
  std::vector<LzToken> tokens;
  std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
  std::vector<std::int64_t> prev(n, -1);
  const auto insert = [&](std::size_t i) {
    if (i + 3 > n) return;
    prev[i] = std::exchange(head[hash3(data, i)], static_cast<std::int64_t>(i));
  };

  for (std::size_t i = 0; i < n;) {
    const std::size_t longest = std::min<std::size_t>(max_length, n - i);
    std::size_t best_length = 0;
    std::size_t best_offset = 0;
    std::int64_t candidate = i + 3 <= n ? head[hash3(data, i)] : -1;
    for (unsigned tries = 0; candidate >= 0 && tries < kMaxChain; ++tries) {
      const auto from = static_cast<std::size_t>(candidate);
      if (i - from > max_offset) break;
      std::size_t length = 0;
      while (length < longest && data[from + length] == data[i + length]) ++length;
      if (length > best_length) {
        best_length = length;
        best_offset = i - from;
      }
      candidate = prev[from];
    }
    if (best_length >= 3) {
      tokens.push_back({static_cast<std::uint32_t>(best_length), static_cast<std::uint32_t>(best_offset), 0});
    } else {
      best_length = 1;
      tokens.push_back({0, 0, data[i]});
    }
    for (const std::size_t end = i + best_length; i < end; ++i) insert(i);
  }
  return tokens;
}

}  // namespace kerf::testing
