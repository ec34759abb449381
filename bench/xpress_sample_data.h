// Data for the decompression benchmark to compress: random bytes, and
// bytes shaped like a decompressed Windows 10 Prefetch image (a header,
// tables of small integers, long runs of zeros and many UTF-16LE paths that
// share their volume and directory prefixes), which is what the decoder
// spends its time on in real use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kerf::bench {

std::vector<std::uint8_t> random_bytes(std::size_t size, std::uint32_t seed);
std::vector<std::uint8_t> prefetch_like_bytes(std::size_t size, std::uint32_t seed);

}  // namespace kerf::bench
