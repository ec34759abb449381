// The signature search of carving: every place in a run of bytes where a
// Prefetch file, plain or in one of its compressed containers, may start.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kerf {

// The bytes a signature covers from the place a find would start: the
// longest is the LZ77 container's 0x81 0x81 "xpress"; a plain image's
// "SCCA" stands at 4 to 8.
inline constexpr std::size_t kSignatureSpan = 8;

// Appends to `starts`, in increasing order, every position p < `before`
// (p + kSignatureSpan <= bytes.size()) where one of these begins:
//   - a plain Prefetch image: "SCCA" at p + 4;
//   - a "MAM" container: "MAM" at p;
//   - a "MEM0" container: "MEM0" at p;
//   - an LZ77 container: 0x81 0x81 "xpress" at p.
// Nothing more is checked: the candidate is validated when it is decoded.
// Bytes from `before` on are there so that a signature that starts before
// it and ends after it is still seen.
void find_signatures(std::span<const std::uint8_t> bytes, std::size_t before, std::vector<std::uint64_t>& starts);

}  // namespace kerf
