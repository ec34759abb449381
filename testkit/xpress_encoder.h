// Test-only writers of the compressed containers a Prefetch file may be
// stored in: "MAM" (Xpress Huffman blocks or a plain LZ77 stream, with or
// without a checksum), "MEM0" (Xpress Huffman blocks) and the LZ77
// container that starts with 0x81 0x81 "xpress".
//
// The Huffman encoder writes one block per 64 KiB of output, as Windows
// does: 256 bytes of 4-bit code lengths (canonical, at most 15 bits, always
// a complete code) and then the bit stream as 16-bit little-endian words,
// each read from its most significant bit, with the extra length bytes and
// words placed in the byte stream exactly where a decoder reads them. A
// match may run on past the 64 KiB of its block and reach back into the
// blocks before. XpressBlockWriter is the low-level piece and can also
// write deliberately broken blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kerf::testing {

using ByteVector = std::vector<std::uint8_t>;
// 4-bit code length (0 = no code) of each of the 512 Huffman symbols.
using CodeLengths = std::array<std::uint8_t, 512>;

// How the length of a match is written.
enum class LengthEscape {
  kShortest,  // nibble, then escape byte, then escape word as needed
  kWord,      // always nibble 15, byte 255 and a 16-bit word (below 15 for
              // matches under 18 bytes: a stream a decoder must refuse)
};

// Writes one Huffman block. Codes are assigned canonically from the lengths
// (shorter codes first, lower symbols first), whether or not the lengths
// form a complete code; symbols without a code cannot be written.
class XpressBlockWriter {
 public:
  explicit XpressBlockWriter(const CodeLengths& lengths);

  void literal(std::uint8_t byte) { symbol(byte); }
  // A match of `length` (3..65538) bytes starting `offset` (1..65535) bytes
  // back: symbol, extra length byte/word, offset bits.
  void match(std::uint32_t length, std::uint32_t offset, LengthEscape escape = LengthEscape::kShortest);
  // Pieces for hand-made streams.
  void symbol(std::uint16_t symbol);
  void extra_byte(std::uint8_t byte) { m_bytes.push_back(byte); }

  // The table and the bit stream up to the last word a decoder fetches, so
  // that the next block may follow directly.
  ByteVector finish();

 private:
  void bits(std::uint32_t value, unsigned count);
  void put_word(std::size_t at, std::uint16_t word);

  ByteVector m_bytes;
  CodeLengths m_lengths{};
  std::array<std::uint16_t, 512> m_codes{};
  std::uint64_t m_pending = 0;
  unsigned m_pending_count = 0;
  std::array<std::size_t, 2> m_slots{};
};

// "MAM" + 0x04 + declared size, then the blocks back to back and a zero word
// so that a decoder reaches the last symbol before the end of the input.
ByteVector mam_from_blocks(std::uint32_t declared_size, const std::vector<ByteVector>& blocks);
// "MEM0" + declared size, then per block its u32 size and the block; the
// same closing zero word.
ByteVector mem0_from_blocks(std::uint32_t declared_size, const std::vector<ByteVector>& blocks);

ByteVector make_mam_container(std::span<const std::uint8_t> data);
ByteVector make_mem0_container(std::span<const std::uint8_t> data);

enum class Lz77Storage {
  kCompressed,
  kStoredDeclaredSize,  // raw data, compressed size = declared size
  kStored64K,           // raw data, compressed size = 65536
};

// The LZ77 container: declared size is `data` rounded up to whole 4096-byte
// pages (at least one, at most 256), so a decoder's output is `data`
// followed by zeros up to the page end.
ByteVector make_lz77_container(std::span<const std::uint8_t> data, Lz77Storage storage = Lz77Storage::kCompressed);

// `data` padded with zeros to the declared size of its LZ77 container.
ByteVector lz77_expected_output(std::span<const std::uint8_t> data);

// "MAM" + 0x03 + declared size (that of `data`), then one plain LZ77 stream
// of any length; matches longer than 65538 bytes take the 32-bit length.
ByteVector make_mam_lz77_container(std::span<const std::uint8_t> data);

// A "MAM" container with the checksum flag set in its fourth byte and the
// CRC32 of the file behind the declared size.
ByteVector with_mam_checksum(const ByteVector& mam);

}  // namespace kerf::testing
