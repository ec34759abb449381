#include "sources/carve/signature_scan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kerf {

namespace {

bool matches(const std::uint8_t* at, const char* text, std::size_t size) { return std::memcmp(at, text, size) == 0; }

bool signature_at(const std::uint8_t* at) {
  return matches(at + 4, "SCCA", 4) || matches(at, "MAM", 3) || matches(at, "MEM0", 4) ||
         matches(at, "\x81\x81xpress", 8);
}

// A scan reads whole disks, so it looks at a block of positions at once: the
// compiler turns these vectors into the processor's own (16 bytes wide on
// x86-64 and ARM), without tying the code to one instruction set.
constexpr std::size_t kLanes = 16;
using Lanes = std::uint8_t __attribute__((vector_size(kLanes)));

// The bytes at `at + shift` onwards, one per position of the block. memcpy,
// not a cast: the bytes need not be aligned.
Lanes shifted(const std::uint8_t* at, std::size_t shift) {
  Lanes lanes;
  std::memcpy(&lanes, at + shift, sizeof lanes);
  return lanes;
}

// A lane is all ones where the position starts a plain image's "SCCA", a
// "MAM" or "MEM0" container, or the first four bytes of the LZ77 container's
// eight; `signature_at` decides. Testing every byte here, not a few, keeps
// words such as "MEMORY" or "MOM" in page files and documents from sending
// each of their positions to the slower test.
Lanes signature_lanes(const std::uint8_t* at) {
  const Lanes b0 = shifted(at, 0);
  const Lanes b1 = shifted(at, 1);
  const Lanes b2 = shifted(at, 2);
  const Lanes b3 = shifted(at, 3);
  const Lanes scca =
      (shifted(at, 4) == 'S') & (shifted(at, 5) == 'C') & (shifted(at, 6) == 'C') & (shifted(at, 7) == 'A');
  const Lanes mam_mem0 = (b0 == 'M') & (b2 == 'M') & ((b1 == 'A') | ((b1 == 'E') & (b3 == '0')));
  const Lanes xpress = (b0 == 0x81) & (b1 == 0x81) & (b2 == 'x') & (b3 == 'p');
  return scca | mam_mem0 | xpress;
}

bool any_set(const Lanes& lanes) {
  std::uint64_t halves[2];
  std::memcpy(halves, &lanes, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

}  // namespace

void find_signatures(std::span<const std::uint8_t> bytes, std::size_t before, std::vector<std::uint64_t>& starts) {
  if (bytes.size() < kSignatureSpan) return;
  const std::size_t last = std::min(before, bytes.size() - kSignatureSpan + 1);
  const std::uint8_t* const data = bytes.data();
  std::size_t p = 0;
  // Every position of a block is below `last`, so each load of it, at most
  // kSignatureSpan - 1 bytes on, ends inside `bytes`.
  for (; p + kLanes <= last; p += kLanes) {
    const Lanes candidates = signature_lanes(data + p);
    if (!any_set(candidates)) continue;
    std::array<std::uint8_t, kLanes> lane;
    std::memcpy(lane.data(), &candidates, kLanes);
    for (std::size_t i = 0; i < kLanes; ++i) {
      if (lane[i] != 0 && signature_at(data + p + i)) starts.push_back(p + i);
    }
  }
  for (; p < last; ++p) {
    if (signature_at(data + p)) starts.push_back(p);
  }
}

}  // namespace kerf
