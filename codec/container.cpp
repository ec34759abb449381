#include "codec/container.h"

#include <string_view>

#include "lib/io/byte_reader.h"

namespace kerf::codec {

namespace {

constexpr std::string_view kLz77Signature{"\x81\x81xpress", 8};
constexpr std::uint64_t kLz77ContainerHeaderSize = 32;
// Where the data of a "MAM" or "MEM0" container starts: after the signature
// and the declared size, and after the checksum when there is one.
constexpr std::uint64_t kHeaderSize = 8;
constexpr std::uint64_t kChecksumSize = 4;
// The fourth byte of a "MAM" header: the method, and the checksum flag.
constexpr std::uint8_t kMethodBits = 0x0F;
constexpr std::uint8_t kChecksumFlag = 0x80;

}  // namespace

Container detect_container(std::span<const std::uint8_t> input) noexcept {
  const io::ByteReader reader{input};
  if (reader.size() <= 12) return {};
  if (reader.matches(0, kLz77Signature)) {
    // Byte 8 counts the 4 KiB pages of the output, less one.
    return {ContainerKind::lz77, (static_cast<std::uint32_t>(reader.u8_or(8, 0)) + 1) * 4096, kMethodLz77, false,
            kLz77ContainerHeaderSize};
  }
  const std::uint32_t declared = reader.u32_or(4, 0);
  if (declared == 0) return {};
  if (reader.matches(0, "MEM0")) return {ContainerKind::mem0, declared, kMethodHuffman, false, kHeaderSize};
  if (reader.matches(0, "MAM")) {
    const std::uint8_t flags = reader.u8_or(3, 0);
    const bool checksum = (flags & kChecksumFlag) != 0;
    return {ContainerKind::mam, declared, static_cast<std::uint8_t>(flags & kMethodBits), checksum,
            checksum ? kHeaderSize + kChecksumSize : kHeaderSize};
  }
  return {};
}

}  // namespace kerf::codec
