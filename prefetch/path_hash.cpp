#include "prefetch/path_hash.h"

#include "prefetch/header.h"

namespace kerf {

namespace {

// Version 17's scrambling of the rolled state.
constexpr std::uint32_t kXpScramble = 314159269;
constexpr std::uint32_t kXpModulus = 1000000007;

}  // namespace

std::uint32_t path_hash_finish(std::uint32_t version, std::uint32_t state) noexcept {
  if (version != kVersionXp) return state;
  // The scrambled state read as a signed number, made positive.
  std::uint32_t scrambled = state * kXpScramble;
  if (scrambled > 0x80000000u) scrambled = 0u - scrambled;
  return scrambled % kXpModulus;
}

std::uint32_t path_hash(std::uint32_t version, std::span<const std::uint8_t> utf16le) noexcept {
  return path_hash_finish(version, path_hash_roll(path_hash_seed(version), utf16le));
}

}  // namespace kerf
