// What a decoded Prefetch image holds, in a few bytes: a carved find whose
// content equals a file already reported (from a folder, or carved before
// it) is not reported again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kerf {

// Two independent checksums and the size: equal content gives equal
// digests, and different content equal ones only by a chance of about one
// in 2^96.
struct ContentDigest {
  std::uint64_t size = 0;
  std::uint64_t fnv = 0;  // FNV-1a, 64 bits
  std::uint32_t crc = 0;  // CRC-32

  bool operator==(const ContentDigest&) const = default;
};

ContentDigest digest_of(std::span<const std::uint8_t> bytes);

struct ContentDigestHash {
  std::size_t operator()(const ContentDigest& digest) const noexcept {
    return static_cast<std::size_t>(digest.fnv ^ digest.crc);
  }
};

}  // namespace kerf
