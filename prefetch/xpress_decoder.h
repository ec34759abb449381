// Decoder for the compressed containers that Windows 8.1 and later store
// Prefetch files in: "MAM" (Xpress Huffman blocks back to back), "MEM0"
// (Xpress Huffman blocks, each behind its compressed size) and the LZ77
// container that starts with 0x81 0x81 "xpress" (one plain LZ77 block).
//
// Construct, decompress(), read output(). A decoder may be reused for the
// next input: decompress() starts afresh and keeps its buffers' capacity.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lib/io/byte_reader.h"
#include "prefetch/record.h"

namespace kerf {

class XpressDecoder {
 public:
  // The most a declared size may say. A plain file is read to at most 16 MiB,
  // so a container claiming more is hostile or damaged, and its output buffer
  // is never allocated.
  static constexpr std::uint32_t kMaxDeclaredSize = 16u * 1024u * 1024u;

  struct Container {
    ContainerKind kind = ContainerKind::none;
    std::uint32_t declared_size = 0;
  };

  // Which container (if any) starts `input`, and the size it declares.
  static Container detect_container(std::span<const std::uint8_t> input) noexcept;

  // How far the data of a recognised container decoded.
  enum class Outcome {
    complete,    // the whole declared size
    ends_early,  // the compressed data ran out before the declared size
    damaged,     // a block that does not decode stopped it before the declared size
  };

  // Undoes the container at the start of `input` into output(). True when a
  // container was recognised and the output set up; outcome() then tells
  // whether it is whole. Output that stops short is followed by zeros.
  bool decompress(std::span<const std::uint8_t> input);

  Outcome outcome() const noexcept { return m_outcome; }
  const std::vector<std::uint8_t>& output() const noexcept { return m_output; }
  std::vector<std::uint8_t>& output() noexcept { return m_output; }

 private:
  bool build_decode_table(const io::ByteReader& block);
  bool decode_huffman_block(const io::ByteReader& block, std::uint64_t& consumed);
  bool decode_lz77_block(const io::ByteReader& input);

  std::uint32_t m_declared_size = 0;
  Outcome m_outcome = Outcome::complete;
  std::vector<std::uint16_t> m_decode_table;
  std::vector<std::uint8_t> m_output;
  std::uint32_t m_out_pos = 0;
};

}  // namespace kerf
