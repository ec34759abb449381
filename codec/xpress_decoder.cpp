// The decoder's one entry, and the Xpress Huffman block decoder.
//
// Decoding is table driven. Xpress Huffman codes are at most 15 bits long,
// so a table indexed by the next 15 bits of the stream resolves every
// symbol with one lookup: 32 768 two-byte entries (64 KiB, which stays in
// the second-level cache), each holding the symbol those bits start with and
// the symbol's code length. The table is rebuilt for every block, that is
// once per 64 KiB of output, which costs less than the second lookup and the
// extra branch that a smaller main table with sub-tables would add for every
// long code.
#include "codec/xpress_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codec/crc32.h"
#include "codec/match_copy.h"
#include "codec/xpress_bit_reader.h"

namespace kerf::codec {

namespace {

// Output bytes one Huffman block covers before the next table is read.
constexpr std::uint32_t kBlockOutput = 65536;
// Bytes of the 4-bit code length table at the start of every Huffman block.
constexpr std::uint32_t kLengthTableBytes = 256;
constexpr std::uint32_t kSymbolCount = 512;
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kTableBits = kMaxCodeLength;
constexpr std::uint32_t kTableSize = 1u << kTableBits;

// A table entry packs the symbol (9 bits) above its code length (4 bits).
constexpr std::uint16_t table_entry(std::uint32_t symbol, std::uint32_t length) {
  return static_cast<std::uint16_t>((symbol << 4) | length);
}

// The length of a match whose symbol has length nibble `nibble`: 15 means
// the length goes on in a byte of the byte stream, and a byte of 255 means
// it is a whole 16-bit word (never below 15). Nothing when the stream ends
// first or the word is too small.
std::optional<std::uint32_t> read_match_length(XpressBitReader& in, std::uint32_t nibble) {
  constexpr std::uint32_t kMinMatch = 3;
  if (nibble < 15) return nibble + kMinMatch;
  const std::optional<std::uint8_t> extra = in.read_byte();
  if (!extra) return std::nullopt;
  if (*extra < 255) return *extra + 15u + kMinMatch;
  const std::optional<std::uint16_t> wide = in.read_u16();
  if (!wide || *wide < 15) return std::nullopt;
  return *wide + kMinMatch;
}

}  // namespace

// The checksum runs over the header with zeros in place of the stored
// checksum, then over the data.
bool checksum_holds(std::span<const std::uint8_t> stored, const Container& container) {
  constexpr std::uint64_t kChecksumSize = 4;
  const io::ByteReader input{stored};
  const std::uint64_t data_offset = container.data_offset;
  const std::uint64_t stored_at = data_offset - kChecksumSize;
  Crc32 crc;
  crc.update(input.bytes(0, stored_at));
  crc.update_zeros(kChecksumSize);
  crc.update(input.tail(data_offset).span());
  return crc.value() == input.u32_or(stored_at, 0);
}

DecodeResult XpressDecoder::decompress(std::span<const std::uint8_t> input) {
  return decompress(input, kMaxDeclaredSize);
}

DecodeResult XpressDecoder::decompress(std::span<const std::uint8_t> input, std::uint32_t most) {
  // Each call starts afresh; only the buffers' capacity is kept, so one
  // decoder can serve every file of a bulk run without allocating.
  m_declared_size = 0;
  m_out_pos = 0;
  m_consumed = 0;
  m_ran_out = false;
  DecodeResult result;
  result.container = detect_container(input);
  const Container& container = result.container;
  // A method kerf does not know, or a size no Prefetch file reaches, is
  // refused before anything is allocated.
  if (container.kind == ContainerKind::none) {
    result.status = DecodeStatus::not_compressed;
  } else if (!container.method_known()) {
    result.status = DecodeStatus::unknown_method;
  } else if (container.declared_size > kMaxDeclaredSize) {
    result.status = DecodeStatus::too_large;
  } else {
    const io::ByteReader reader{input};
    // A damaged file is still decoded: the examiner sees what it holds, and
    // is told that its checksum does not hold.
    if (container.has_checksum) result.checksum_matches = checksum_holds(input, container);
    Container wanted = container;
    if (container.kind != ContainerKind::lz77) wanted.declared_size = std::min(container.declared_size, most);
    result.status = decode(reader, wanted);
    return result;
  }
  // Nothing decoded: the buffer keeps its capacity, not an earlier file.
  m_output.clear();
  return result;
}

DecodeStatus XpressDecoder::decode(const io::ByteReader& reader, const Container& container) {
  m_declared_size = container.declared_size;
  if (container.kind == ContainerKind::lz77) {
    if (decode_lz77_block(reader)) return DecodeStatus::ok;
    m_output.clear();
    return DecodeStatus::damaged;
  }

  // A recycled buffer keeps its old bytes here: decoding overwrites them in
  // order, and whatever it does not reach is zeroed at the end, so a bulk run
  // does not clear every output twice.
  m_output.resize(m_declared_size);
  bool damaged = false;
  if (container.method == kMethodLz77) {
    // A stream that stops with data left stopped at something it could not
    // decode (a match before the start of the output).
    const io::ByteReader data = reader.tail(container.data_offset);
    const std::uint64_t used = decode_lz77_stream(data, data.size());
    damaged = used < data.size() && m_out_pos < m_declared_size;
    m_consumed = container.data_offset + used;
  } else {
    damaged = !decode_huffman_blocks(reader, container);
  }
  // The output promises zeros after the last decoded byte: the buffer may
  // hold bytes of an earlier file there, and word-wise match copies may have
  // written up to 7 bytes past the end of the last match.
  zero_output_from(m_out_pos);
  if (m_out_pos == m_declared_size) return DecodeStatus::ok;
  return damaged && !m_ran_out ? DecodeStatus::damaged : DecodeStatus::ends_early;
}

// memset rather than std::fill: a build instrumented for fuzzing turns the
// fill into a byte loop with a coverage counter per byte, and the zeroing
// then costs more than the decoding.
void XpressDecoder::zero_output_from(std::uint32_t position) noexcept {
  if (position < m_output.size()) std::memset(m_output.data() + position, 0, m_output.size() - position);
}

bool XpressDecoder::decode_huffman_blocks(const io::ByteReader& input, const Container& container) {
  const bool sized_blocks = container.kind == ContainerKind::mem0;
  std::uint64_t position = container.data_offset;
  std::uint64_t block_size = kBlockOutput;
  while (input.remaining(position) > kLengthTableBytes && block_size > 0 && m_out_pos < m_declared_size) {
    if (sized_blocks) {
      block_size = input.u32_or(position, 0);
      position += 4;
    }
    std::uint64_t consumed = 0;
    const BlockEnd end = decode_huffman_block(input.tail(position), consumed);
    m_consumed = std::min(position + consumed, input.size());
    m_ran_out = end == BlockEnd::ran_out;
    if (end != BlockEnd::done || consumed == 0) return false;
    position += sized_blocks ? block_size : consumed;
  }
  return true;
}

// A symbol that does not decode: past the end of the block the reader reads
// zero bits, so what fails there is the input running out, not damage.
// (Worked out here, from the position, rather than stored in the loop: a
// store to the decoder inside it costs the loop a third of its speed.)
XpressDecoder::BlockEnd XpressDecoder::stopped_at(std::uint64_t position, std::uint64_t block_size) noexcept {
  return position >= block_size ? BlockEnd::ran_out : BlockEnd::damaged;
}

bool XpressDecoder::build_decode_table(const io::ByteReader& block) {
  const std::span<const std::uint8_t> packed = block.bytes(0, kLengthTableBytes);
  if (packed.empty()) return false;

  std::array<std::uint8_t, kSymbolCount> lengths{};
  std::array<std::uint32_t, kMaxCodeLength + 1> count{};
  for (std::uint32_t i = 0; i < kLengthTableBytes; ++i) {
    lengths[2 * i] = packed[i] & 0x0F;
    lengths[2 * i + 1] = packed[i] >> 4;
    ++count[lengths[2 * i]];
    ++count[lengths[2 * i + 1]];
  }

  // Canonical order: shorter codes first, lower symbols first within a
  // length. A counting sort gives that order in two passes.
  std::array<std::uint32_t, kMaxCodeLength + 2> next{};
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) next[len + 1] = next[len] + count[len];
  const std::uint32_t coded = next[kMaxCodeLength + 1];
  std::array<std::uint16_t, kSymbolCount> sorted{};
  for (std::uint32_t symbol = 0; symbol < kSymbolCount; ++symbol) {
    const unsigned len = lengths[symbol];
    if (len != 0) sorted[next[len]++] = static_cast<std::uint16_t>(symbol);
  }

  m_decode_table.resize(kTableSize);
  std::uint16_t* const table = m_decode_table.data();
  std::uint32_t filled = 0;
  for (std::uint32_t i = 0; i < coded && filled < kTableSize; ++i) {
    const std::uint32_t symbol = sorted[i];
    const unsigned len = lengths[symbol];
    // Canonical codes never straddle the end of the table, but an over-full
    // set of lengths simply stops filling there.
    const std::uint32_t span = std::min<std::uint32_t>(1u << (kTableBits - len), kTableSize - filled);
    std::fill_n(table + filled, span, table_entry(symbol, len));
    filled += span;
  }

  // Lengths that fill the table exactly, or overfill it (codes that do not fit
  // are then never decoded), make a usable table. Fewer leave entries of no
  // code at all, so such a block is not decoded.
  return filled == kTableSize;
}

XpressDecoder::BlockEnd XpressDecoder::decode_huffman_block(const io::ByteReader& block, std::uint64_t& consumed) {
  consumed = 0;
  if (!build_decode_table(block)) return BlockEnd::damaged;

  const std::uint16_t* const table = m_decode_table.data();
  std::uint8_t* const out = m_output.data();
  const std::uint32_t out_size = m_declared_size;
  // Kept in a local while decoding (a store through `out` could otherwise
  // alias it) and handed back however the block ends.
  std::uint32_t out_pos = m_out_pos;
  struct HandBack {
    std::uint32_t& target;
    const std::uint32_t& value;
    ~HandBack() { target = value; }
  } hand_back{m_out_pos, out_pos};

  // A block ends once it has produced 65536 bytes (a match that started
  // inside it may run further) or the output is complete.
  const std::uint32_t block_end =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(out_size, std::uint64_t{out_pos} + kBlockOutput));

  XpressBitReader in(block, kLengthTableBytes);
  // The reader loads 32 bits ahead of the bits being decoded, so the last
  // symbols of a stream stand in words it has loaded already: it goes on
  // until everything it loaded lies past the end of the input (and reads
  // zeros there).
  while (in.position() < block.size() + 4 && out_pos < block_end) {
    const std::uint16_t entry = table[in.peek(kTableBits)];
    in.remove(entry & 0x0F);
    const std::uint32_t symbol = entry >> 4;
    if (symbol < 256) {
      out[out_pos++] = static_cast<std::uint8_t>(symbol);
      continue;
    }

    // A match: the low nibble starts the length, the high one counts the
    // offset's bits below its leading 1.
    const std::optional<std::uint32_t> length = read_match_length(in, symbol & 0x0F);
    if (!length) return stopped_at(in.position(), block.size());
    const unsigned offset_bits = (symbol >> 4) & 0x0F;
    const std::uint32_t offset = in.pop(offset_bits) + (1u << offset_bits);
    if (offset > out_pos) return stopped_at(in.position(), block.size());
    const std::uint32_t count = std::min(*length, out_size - out_pos);
    copy_match(out, out_pos, offset, count, out_size);
    out_pos += count;
  }
  consumed = in.position();
  return BlockEnd::done;
}

}  // namespace kerf::codec
