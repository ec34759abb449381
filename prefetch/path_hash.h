// The hash Windows gives a Prefetch file: computed over the executable's
// full device path (upper case, UTF-16LE, no terminating zero), stored in
// the header and written into the file's name (EXE-XXXXXXXX.pf).
//
// Every format version runs the same rolling step over the path's bytes,
// h = h * 37 + byte (modulo 2^32). Version 17 (Windows XP and 2003) starts
// it at 0 and then scrambles the result; later versions start it at 314159
// and take it as it is. Because the step is a polynomial, the hash of a
// path can be put together from the hash of its beginning and the hash of
// the rest: the volume-number search hashes the common rest of a path once.
#pragma once

#include <cstdint>
#include <span>

#include "prefetch/header.h"

namespace kerf {

// Where the rolling step starts for files of `version`.
constexpr std::uint32_t path_hash_seed(std::uint32_t version) noexcept {
  return version == kVersionXp ? 0 : 314159;
}

// The rolling step over `bytes`, starting from `state`.
constexpr std::uint32_t path_hash_roll(std::uint32_t state, std::span<const std::uint8_t> bytes) noexcept {
  for (const std::uint8_t byte : bytes) state = state * 37 + byte;
  return state;
}

// 37^count modulo 2^32: the factor a state takes on while `count` more bytes
// are rolled in. So roll(s, a + b) == roll(s, a) * weight(|b|) + roll(0, b).
constexpr std::uint32_t path_hash_weight(std::uint64_t count) noexcept {
  std::uint32_t result = 1;
  std::uint32_t power = 37;
  for (; count != 0; count >>= 1) {
    if (count & 1) result *= power;
    power *= power;
  }
  return result;
}

// The stored hash made from the rolled state of the whole path.
std::uint32_t path_hash_finish(std::uint32_t version, std::uint32_t state) noexcept;

// The hash of a path given as its UTF-16LE bytes.
std::uint32_t path_hash(std::uint32_t version, std::span<const std::uint8_t> utf16le) noexcept;

}  // namespace kerf
