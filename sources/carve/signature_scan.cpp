#include "sources/carve/signature_scan.h"

#include <cstring>

namespace kerf {

namespace {

bool matches(const std::uint8_t* at, const char* text, std::size_t size) { return std::memcmp(at, text, size) == 0; }

}  // namespace

void find_signatures(std::span<const std::uint8_t> bytes, std::size_t before, std::vector<std::uint64_t>& starts) {
  if (bytes.size() < kSignatureSpan) return;
  const std::size_t last = std::min(before, bytes.size() - kSignatureSpan + 1);
  for (std::size_t p = 0; p < last; ++p) {
    const std::uint8_t* at = bytes.data() + p;
    if (matches(at + 4, "SCCA", 4) || matches(at, "MAM", 3) || matches(at, "MEM0", 4) ||
        matches(at, "\x81\x81xpress", 8)) {
      starts.push_back(p);
    }
  }
}

}  // namespace kerf
