// Decoder for the compressed containers that Windows 8.1 and later store
// Prefetch files in: "MAM" (Xpress Huffman blocks back to back), "MEM0"
// (Xpress Huffman blocks, each behind its compressed size) and the LZ77
// container that starts with 0x81 0x81 "xpress" (one plain LZ77 block).
//
// Construct, decompress(), read output(). An object may be reused for the
// next input: decompress() starts afresh and keeps its buffers' capacity.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lib/byte_reader.h"

namespace kerf {

class xpress_adt {
 public:
  // Values of container_kind (internal to the object).
  static constexpr std::uint32_t kNone = 0;
  static constexpr std::uint32_t kMem0 = 2;
  static constexpr std::uint32_t kMam = 3;
  static constexpr std::uint32_t kLz77 = 4;

  // Entries in the Huffman lookup table: one per 15-bit prefix.
  static constexpr std::uint32_t kTableSize = 32768;

  // Output of the one plain LZ77 block of an LZ77 container.
  static constexpr std::uint32_t kLz77Capacity = 65536;

  // The most a declared size may say. A plain file is read to at most 16 MiB,
  // so a container claiming more is hostile or damaged, and its output buffer
  // is never allocated.
  static constexpr std::uint32_t kMaxDeclaredSize = 16u * 1024u * 1024u;

  struct Container {
    std::uint32_t kind = kNone;
    std::uint32_t declared_size = 0;
  };

  // The table always has kTableSize entries, whatever size is asked for: a
  // lookup indexes it with 15 stream bits, so a smaller table would be read
  // past its end and a larger one is never used.
  explicit xpress_adt(std::uint32_t table_size = kTableSize);
  virtual ~xpress_adt();

  // Which container (if any) starts `input`, and the size it declares.
  static Container detect_container(std::span<const std::uint8_t> input);

  // Undoes the container at the start of `input` into output(). True when a
  // container was recognised and the output set up; a damaged stream still
  // succeeds, with zeros after the last byte it could decode.
  bool decompress(std::span<const std::uint8_t> input);

  const std::vector<std::uint8_t>& output() const { return m_output; }
  std::vector<std::uint8_t>& output() { return m_output; }

  std::uint32_t container_kind() const { return m_container_kind; }
  std::uint32_t declared_size() const { return m_declared_size; }

 private:
  bool build_decode_table(qv::ByteReader block);
  bool decode_huffman_block(qv::ByteReader block, std::uint64_t& consumed);
  std::uint32_t decode_lz77_block(qv::ByteReader input);
  static void copy_match(std::uint8_t* out, std::uint32_t out_pos, std::uint32_t offset, std::uint32_t count,
                         std::uint32_t out_size);
  void clear_after_output();

  std::uint32_t m_container_kind = kNone;
  std::uint32_t m_declared_size = 0;
  std::vector<std::uint16_t> m_code_lengths;
  std::vector<std::uint16_t> m_decode_table;
  std::vector<std::uint8_t> m_output;
  std::uint32_t m_out_pos = 0;
};

}  // namespace kerf
