#include "driver/run/content_digest.h"

#include "codec/crc32.h"

namespace kerf {

ContentDigest digest_of(std::span<const std::uint8_t> bytes) {
  std::uint64_t fnv = 0xcbf29ce484222325ull;
  for (const std::uint8_t byte : bytes) fnv = (fnv ^ byte) * 0x100000001b3ull;
  codec::Crc32 crc;
  crc.update(bytes);
  return {bytes.size(), fnv, crc.value()};
}

}  // namespace kerf
