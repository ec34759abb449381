// Decoder for the compressed containers that Windows 8.1 and later store
// Prefetch files in: "MAM" (Xpress Huffman blocks back to back, or one plain
// LZ77 stream, optionally behind a CRC32 of the file), "MEM0" (Xpress
// Huffman blocks, each behind its compressed size) and the LZ77 container
// that starts with 0x81 0x81 "xpress" (one plain LZ77 block).
//
// Construct, decompress(), read output(). A decoder may be reused for the
// next input: decompress() starts afresh and keeps its buffers' capacity.
#pragma once

#include <cstdint>
#include <optional>
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

  // Compression methods, numbered as Windows numbers them.
  static constexpr std::uint8_t kMethodLz77 = 3;
  static constexpr std::uint8_t kMethodHuffman = 4;

  struct Container {
    ContainerKind kind = ContainerKind::none;
    std::uint32_t declared_size = 0;
    // The method the compressed data is in: what the low four bits of a
    // "MAM" header's fourth byte name, fixed for the other kinds.
    std::uint8_t method = 0;
    // A "MAM" header with the top bit of its fourth byte set: a CRC32 of the
    // file follows the declared size, and the data starts after it.
    bool has_checksum = false;
    std::uint64_t data_offset = 0;

    // Whether this decoder can undo the method.
    bool method_known() const noexcept { return method == kMethodLz77 || method == kMethodHuffman; }
  };

  // Which container (if any) starts `input`, and the size it declares.
  static Container detect_container(std::span<const std::uint8_t> input) noexcept;

  // How far the data of a recognised container decoded.
  enum class Outcome {
    complete,    // the whole declared size
    ends_early,  // the compressed data ran out before the declared size
    damaged,     // data that does not decode stopped it before the declared size
  };

  // Undoes the container at the start of `input` into output(). True when a
  // container was recognised, its method is known and the output set up;
  // outcome() then tells whether it is whole. Output that stops short is
  // followed by zeros. A file whose checksum does not hold is still decoded.
  bool decompress(std::span<const std::uint8_t> input) { return decompress(input, detect_container(input)); }
  // The same, for a caller that has detected the container already.
  bool decompress(std::span<const std::uint8_t> input, const Container& container);

  Outcome outcome() const noexcept { return m_outcome; }

  // After decompress(): whether the container's checksum held; nothing when
  // it carries none.
  std::optional<bool> checksum_matches() const noexcept { return m_checksum_matches; }

  const std::vector<std::uint8_t>& output() const noexcept { return m_output; }
  std::vector<std::uint8_t>& output() noexcept { return m_output; }

 private:
  // False when a block that does not decode stopped the output.
  bool decode_huffman_blocks(const io::ByteReader& input, const Container& container);
  bool build_decode_table(const io::ByteReader& block);
  bool decode_huffman_block(const io::ByteReader& block, std::uint64_t& consumed);
  bool decode_lz77_block(const io::ByteReader& input);
  std::uint64_t decode_lz77_stream(const io::ByteReader& data, std::uint64_t end);
  // Zeros the output from `position` to its end.
  void zero_output_from(std::uint32_t position) noexcept;

  std::uint32_t m_declared_size = 0;
  Outcome m_outcome = Outcome::complete;
  std::vector<std::uint16_t> m_decode_table;
  std::vector<std::uint8_t> m_output;
  std::uint32_t m_out_pos = 0;
  std::optional<bool> m_checksum_matches;
};

}  // namespace kerf
