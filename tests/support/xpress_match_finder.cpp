#include "tests/support/xpress_match_finder.h"

#include <algorithm>

namespace kerf::testing {

namespace {

constexpr unsigned kHashBits = 15;

std::uint32_t hash3(std::span<const std::uint8_t> data, std::size_t i) {
  const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

std::vector<LzToken> greedy_parse(std::span<const std::uint8_t> data, const MatchLimits& limits) {
  const std::size_t n = data.size();
  std::vector<LzToken> tokens;
  tokens.reserve(n / 4 + 16);
  std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
  std::vector<std::int64_t> prev(n, -1);

  const auto insert = [&](std::size_t i) {
    if (i + 3 > n) return;
    const std::uint32_t h = hash3(data, i);
    prev[i] = head[h];
    head[h] = static_cast<std::int64_t>(i);
  };

  std::size_t i = 0;
  while (i < n) {
    std::size_t max_length = std::min<std::size_t>(limits.max_length, n - i);
    if (limits.segment != 0) max_length = std::min<std::size_t>(max_length, limits.segment - i % limits.segment);
    std::size_t best_length = 0;
    std::size_t best_offset = 0;
    if (!limits.literals_only && max_length >= limits.min_length && i + 3 <= n) {
      std::int64_t candidate = head[hash3(data, i)];
      for (unsigned tries = 0; candidate >= 0 && tries < limits.max_chain; ++tries) {
        const auto from = static_cast<std::size_t>(candidate);
        const std::size_t offset = i - from;
        if (offset > limits.max_offset) break;
        if (data[from + best_length] == data[i + best_length]) {
          std::size_t length = 0;
          while (length < max_length && data[from + length] == data[i + length]) ++length;
          if (length > best_length) {
            best_length = length;
            best_offset = offset;
            if (length == max_length) break;
          }
        }
        candidate = prev[from];
      }
    }
    if (best_length >= limits.min_length) {
      tokens.push_back({static_cast<std::uint32_t>(best_length), static_cast<std::uint32_t>(best_offset), 0});
      for (std::size_t j = i; j < i + best_length; ++j) insert(j);
      i += best_length;
    } else {
      tokens.push_back({0, 0, data[i]});
      insert(i);
      ++i;
    }
  }
  return tokens;
}

}  // namespace kerf::testing
