// The compressed containers that Windows 8.1 and later store Prefetch files
// in, as their headers tell them apart: "MAM" (Xpress Huffman blocks back to
// back, or one plain LZ77 stream, optionally behind a CRC32 of the file),
// "MEM0" (Xpress Huffman blocks, each behind its compressed size) and the
// LZ77 container that starts with 0x81 0x81 "xpress" (one plain LZ77 block).
#pragma once

#include <cstdint>
#include <span>

namespace kerf::codec {

// How a file's bytes are stored.
enum class ContainerKind : std::uint8_t {
  none,  // not compressed
  mam,   // "MAM": Xpress Huffman blocks back to back, or one plain LZ77
         // stream (Container::method tells which)
  mem0,  // "MEM0": Xpress Huffman blocks, each behind its compressed size
  lz77,  // 0x81 0x81 "xpress": one plain LZ77 block
};

// Compression methods, numbered as Windows numbers them.
constexpr std::uint8_t kMethodLz77 = 3;
constexpr std::uint8_t kMethodHuffman = 4;

// What a container's header says.
struct Container {
  ContainerKind kind = ContainerKind::none;
  std::uint32_t declared_size = 0;
  // The method the compressed data is in: what the low four bits of a "MAM"
  // header's fourth byte name, fixed for the other kinds.
  std::uint8_t method = 0;
  // A "MAM" header with the top bit of its fourth byte set: a CRC32 of the
  // file follows the declared size, and the data starts after it.
  bool has_checksum = false;
  std::uint64_t data_offset = 0;

  // Whether the decoder can undo the method.
  bool method_known() const noexcept { return method == kMethodLz77 || method == kMethodHuffman; }
};

// Which container (if any) starts `input`, and the size it declares.
Container detect_container(std::span<const std::uint8_t> input) noexcept;

}  // namespace kerf::codec
