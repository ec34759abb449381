// Container detection and the Xpress Huffman block decoder.
//
// Decoding is table driven: every entry of the 32 768-entry table holds the
// symbol that the next 15 bits of the stream start with and that symbol's
// code length, so one lookup decodes one symbol. The bit buffer is refilled
// 16 bits at a time, and only the refill (not each bit) is bounds checked.
#include "prefetch/xpress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

namespace kerf {

namespace {

constexpr std::string_view kLz77Signature{"\x81\x81xpress", 8};

// Output bytes one Huffman block covers before the next table is read.
constexpr std::uint32_t kBlockOutput = 65536;
// Bytes of the 4-bit code length table at the start of every Huffman block.
constexpr std::uint32_t kLengthTableBytes = 256;
constexpr std::uint32_t kSymbolCount = 512;
constexpr unsigned kMaxCodeLength = 15;

// A table entry packs the symbol (9 bits) above its code length (4 bits).
constexpr std::uint16_t table_entry(std::uint32_t symbol, std::uint32_t length) {
  return static_cast<std::uint16_t>((symbol << 4) | length);
}

}  // namespace

xpress_adt::xpress_adt(std::uint32_t /*table_size*/) {}
xpress_adt::~xpress_adt() = default;

xpress_adt::Container xpress_adt::detect_container(std::span<const std::uint8_t> input) {
  const qv::ByteReader reader{input};
  if (reader.size() <= 12) return {};
  if (reader.matches(0, kLz77Signature)) {
    return {kLz77, (static_cast<std::uint32_t>(reader.u8_or(8, 0)) + 1) * 4096};
  }
  const std::uint32_t declared = reader.u32_or(4, 0);
  if (declared == 0) return {};
  if (reader.matches(0, "MEM0")) return {kMem0, declared};
  if (reader.matches(0, "MAM")) return {kMam, declared};
  return {};
}

bool xpress_adt::decompress(std::span<const std::uint8_t> input) {
  // Each call starts afresh; only the buffers' capacity is kept, so one
  // object can serve every file of a bulk run without allocating.
  m_container_kind = kNone;
  m_declared_size = 0;
  m_out_pos = 0;
  const qv::ByteReader reader{input};
  const Container container = detect_container(input);
  if (container.kind == kNone) return false;
  // A size no Prefetch file reaches: refuse before allocating anything.
  if (container.declared_size > kMaxDeclaredSize) return false;
  m_container_kind = container.kind;
  m_declared_size = container.declared_size;

  if (m_container_kind == kLz77) {
    if (decode_lz77_block(reader) == 0) {
      m_output.clear();
      return false;
    }
    // A container of fewer pages than the block's capacity holds just its
    // declared pages; anything the block wrote beyond them is not part of
    // the file.
    m_output.resize(m_declared_size);
    return true;
  }

  // A recycled buffer keeps its old bytes here: decoding overwrites them in
  // order, and whatever it does not reach is zeroed at the end, so a bulk run
  // does not clear every output twice.
  m_output.resize(m_declared_size);
  m_out_pos = 0;
  if (m_output.empty()) return false;

  const std::uint64_t length = reader.size();
  std::uint64_t position = 8;
  std::uint64_t block_size = kBlockOutput;
  while (position < length && length - position > kLengthTableBytes && block_size > 0 &&
         m_out_pos < m_declared_size) {
    if (m_container_kind == kMem0) {
      block_size = reader.u32_or(position, 0);
      position += 4;
    }
    std::uint64_t consumed = 0;
    if (!decode_huffman_block(reader.tail(position), consumed) || consumed == 0) break;
    position += m_container_kind == kMem0 ? block_size : consumed;
  }
  clear_after_output();
  return true;
}

void xpress_adt::clear_after_output() {
  // The output promises zeros after the last decoded byte: the buffer may hold
  // bytes of an earlier file there, and word-wise match copies may have
  // written up to 7 bytes past the end of the last match.
  if (m_out_pos < m_output.size()) std::fill(m_output.begin() + m_out_pos, m_output.end(), 0);
}

bool xpress_adt::build_decode_table(qv::ByteReader block) {
  const std::span<const std::uint8_t> packed = block.bytes(0, kLengthTableBytes);
  if (packed.empty()) return false;

  m_code_lengths.resize(kSymbolCount);  // every entry is written below
  std::array<std::uint32_t, kMaxCodeLength + 1> count{};
  for (std::uint32_t i = 0; i < kLengthTableBytes; ++i) {
    m_code_lengths[2 * i] = packed[i] & 0x0F;
    m_code_lengths[2 * i + 1] = packed[i] >> 4;
    ++count[packed[i] & 0x0F];
    ++count[packed[i] >> 4];
  }

  // Canonical order: shorter codes first, lower symbols first within a
  // length. A counting sort gives that order in two passes.
  std::array<std::uint32_t, kMaxCodeLength + 2> next{};
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) next[len + 1] = next[len] + count[len];
  const std::uint32_t coded = next[kMaxCodeLength + 1];
  std::array<std::uint16_t, kSymbolCount> sorted{};
  for (std::uint32_t symbol = 0; symbol < kSymbolCount; ++symbol) {
    const unsigned len = m_code_lengths[symbol];
    if (len != 0) sorted[next[len]++] = static_cast<std::uint16_t>(symbol);
  }

  m_decode_table.resize(kTableSize);
  std::uint16_t* const table = m_decode_table.data();
  std::uint32_t filled = 0;
  for (std::uint32_t i = 0; i < coded && filled < kTableSize; ++i) {
    const std::uint32_t symbol = sorted[i];
    const unsigned len = m_code_lengths[symbol];
    // Canonical codes never straddle the end of the table, but an over-full
    // set of lengths simply stops filling there.
    const std::uint32_t span = std::min<std::uint32_t>(1u << (kMaxCodeLength - len), kTableSize - filled);
    std::fill_n(table + filled, span, table_entry(symbol, len));
    filled += span;
  }

  // Lengths that fill the table exactly, or overfill it (codes that do not fit
  // are then never decoded), make a usable table. Fewer leave entries of no
  // code at all, so such a block is not decoded.
  return filled == kTableSize;
}

bool xpress_adt::decode_huffman_block(qv::ByteReader block, std::uint64_t& consumed) {
  consumed = 0;
  if (!build_decode_table(block)) return false;

  const std::uint64_t length = block.size();
  std::uint32_t bits = (static_cast<std::uint32_t>(block.u16_or(256, 0)) << 16) | block.u16_or(258, 0);
  int bit_count = 16;
  std::uint64_t read_pos = 260;

  const std::uint16_t* const table = m_decode_table.data();
  std::uint8_t* const out = m_output.data();
  const std::uint32_t out_size = m_declared_size;
  std::uint32_t out_pos = m_out_pos;
  // A block ends once it has produced 65536 bytes (a match that started
  // inside it may run further) or the output is complete.
  const std::uint32_t block_end =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(out_size, std::uint64_t{out_pos} + kBlockOutput));

  // Past the end of the input the stream reads as zero bits.
  const auto refill = [&] {
    if (bit_count < 0) {
      bits |= static_cast<std::uint32_t>(block.u16_or(read_pos, 0)) << -bit_count;
      bit_count += 16;
      read_pos += 2;
    }
  };

  bool ok = true;
  while (read_pos < length && out_pos < block_end) {
    const std::uint32_t entry = table[bits >> 17];
    const unsigned code_length = entry & 0x0F;
    const std::uint32_t symbol = entry >> 4;
    bits <<= code_length;
    bit_count -= static_cast<int>(code_length);
    refill();

    if (symbol < 256) {
      out[out_pos++] = static_cast<std::uint8_t>(symbol);
      continue;
    }

    // Match: the low nibble is the length, the high one the offset's bit count.
    std::uint32_t match_length = symbol & 0x0F;
    const unsigned offset_bits = (symbol >> 4) & 0x0F;
    if (match_length == 15) {
      const std::optional<std::uint8_t> extra = block.u8(read_pos);
      if (!extra) {
        ok = false;
        break;
      }
      read_pos += 1;
      if (*extra == 255) {
        const std::optional<std::uint16_t> wide = block.u16(read_pos);
        if (!wide || *wide < 15) {
          ok = false;
          break;
        }
        read_pos += 2;
        match_length = *wide;
      } else {
        match_length = *extra + 15u;
      }
    }
    match_length += 3;

    // Top `offset_bits` bits of the buffer (none when the count is 0).
    const std::uint32_t offset = ((bits >> 1) >> (31 - offset_bits)) + (1u << offset_bits);
    bits <<= offset_bits;
    bit_count -= static_cast<int>(offset_bits);
    refill();

    if (offset > out_pos) {
      ok = false;
      break;
    }
    const std::uint32_t count = std::min(match_length, out_size - out_pos);
    copy_match(out, out_pos, offset, count, out_size);
    out_pos += count;
  }

  m_out_pos = out_pos;
  if (!ok) return false;
  consumed = read_pos;
  return true;
}

void xpress_adt::copy_match(std::uint8_t* out, std::uint32_t out_pos, std::uint32_t offset, std::uint32_t count,
                            std::uint32_t out_size) {
  std::uint8_t* dst = out + out_pos;
  const std::uint8_t* src = dst - offset;
  if (offset >= 8 && out_size - out_pos - count >= 7) {
    // Whole words: every word read lies before the word being written, and
    // the last word may spill up to 7 bytes into output not yet decoded.
    for (std::uint32_t i = 0; i < count; i += 8) std::memcpy(dst + i, src + i, 8);
  } else if (offset == 1) {
    std::memset(dst, *src, count);
  } else {
    for (std::uint32_t i = 0; i < count; ++i) dst[i] = src[i];
  }
}

}  // namespace kerf
