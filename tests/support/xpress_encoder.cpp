// The Xpress Huffman writer and the "MAM" and "MEM0" containers around it.
#include "tests/support/xpress_encoder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace kerf::testing {

namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr std::uint32_t kTableEntries = 1u << kMaxCodeLength;
constexpr std::uint32_t kBlockOutput = 65536;
constexpr std::size_t kLengthTableBytes = 256;

void append_u32(ByteVector& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One block per 64 KiB of output: a block ends once it has produced 65536
// bytes, so a match that crosses that point ends it where the match ends.
// Every symbol gets a code of 9 bits, a complete code; the decoder's tests
// give codes of every other length by hand, and real files their own.
std::vector<ByteVector> huffman_blocks(std::span<const std::uint8_t> data) {
  const std::vector<LzToken> tokens = greedy_parse(data, 65535, 65538);
  CodeLengths nine_bits;
  nine_bits.fill(9);
  std::vector<ByteVector> blocks;
  for (std::size_t i = 0; i < tokens.size();) {
    XpressBlockWriter writer(nine_bits);
    for (std::uint64_t produced = 0; i < tokens.size() && produced < kBlockOutput; ++i) {
      if (tokens[i].length == 0) {
        writer.literal(tokens[i].literal);
      } else {
        writer.match(tokens[i].length, tokens[i].offset);
      }
      produced += std::max<std::uint32_t>(tokens[i].length, 1);
    }
    blocks.push_back(writer.finish());
  }
  return blocks;
}

}  // namespace

XpressBlockWriter::XpressBlockWriter(const CodeLengths& lengths) : m_lengths(lengths) {
  m_bytes.assign(kLengthTableBytes + 4, 0);
  for (std::size_t i = 0; i < kLengthTableBytes; ++i) {
    m_bytes[i] = static_cast<std::uint8_t>(lengths[2 * i] | (lengths[2 * i + 1] << 4));
  }
  // Canonical codes, in the order a decoder fills its table.
  std::uint32_t next = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != len || next + (kTableEntries >> len) > kTableEntries) continue;  // over-full: never decoded
      m_codes[s] = static_cast<std::uint16_t>(next >> (kMaxCodeLength - len));
      next += kTableEntries >> len;
    }
  }
  m_slots = {kLengthTableBytes, kLengthTableBytes + 2};
}

void XpressBlockWriter::put_word(std::size_t at, std::uint16_t word) {
  m_bytes[at] = static_cast<std::uint8_t>(word);
  m_bytes[at + 1] = static_cast<std::uint8_t>(word >> 8);
}

void XpressBlockWriter::bits(std::uint32_t value, unsigned count) {
  m_pending = (m_pending << count) | (value & ((1u << count) - 1));
  m_pending_count += count;
  if (m_pending_count > 16) {
    // Sixteen bits are complete: they fill the older reserved word, and a
    // new word is reserved where the byte stream ends now.
    m_pending_count -= 16;
    put_word(m_slots[0], static_cast<std::uint16_t>(m_pending >> m_pending_count));
    m_pending &= (std::uint64_t{1} << m_pending_count) - 1;
    m_slots[0] = m_slots[1];
    m_slots[1] = m_bytes.size();
    m_bytes.resize(m_bytes.size() + 2, 0);
  }
}

void XpressBlockWriter::symbol(std::uint16_t symbol) {
  if (symbol >= 512 || m_lengths[symbol] == 0) throw std::invalid_argument("symbol has no code in this block");
  bits(m_codes[symbol], m_lengths[symbol]);
}

void XpressBlockWriter::match(std::uint32_t length, std::uint32_t offset, LengthEscape escape) {
  if (length < 3 || length > 65538 || offset == 0 || offset > 65535) throw std::invalid_argument("match out of range");
  const std::uint32_t stored = length - 3;
  const bool shortest = escape == LengthEscape::kShortest;
  const unsigned offset_bits = static_cast<unsigned>(std::bit_width(offset)) - 1;
  symbol(static_cast<std::uint16_t>(256 + 16 * offset_bits + (shortest && stored < 15 ? stored : 15)));
  if (shortest && stored >= 15 && stored - 15 < 255) {
    extra_byte(static_cast<std::uint8_t>(stored - 15));
  } else if (!shortest || stored >= 15) {
    extra_byte(255);
    extra_byte(static_cast<std::uint8_t>(stored));
    extra_byte(static_cast<std::uint8_t>(stored >> 8));
  }
  bits(offset - (1u << offset_bits), offset_bits);
}

ByteVector XpressBlockWriter::finish() {
  put_word(m_slots[0], static_cast<std::uint16_t>(m_pending << (16 - m_pending_count)));
  m_pending = 0;
  m_pending_count = 0;
  return m_bytes;
}

ByteVector mam_from_blocks(std::uint32_t declared_size, const std::vector<ByteVector>& blocks) {
  ByteVector out{'M', 'A', 'M', 0x04};
  append_u32(out, declared_size);
  for (const ByteVector& block : blocks) out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), 2, 0);
  return out;
}

ByteVector mem0_from_blocks(std::uint32_t declared_size, const std::vector<ByteVector>& blocks) {
  ByteVector out{'M', 'E', 'M', '0'};
  append_u32(out, declared_size);
  for (const ByteVector& block : blocks) {
    append_u32(out, static_cast<std::uint32_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
  out.insert(out.end(), 2, 0);
  return out;
}

ByteVector make_mam_container(std::span<const std::uint8_t> data) {
  return mam_from_blocks(static_cast<std::uint32_t>(data.size()), huffman_blocks(data));
}

ByteVector make_mem0_container(std::span<const std::uint8_t> data) {
  return mem0_from_blocks(static_cast<std::uint32_t>(data.size()), huffman_blocks(data));
}

}  // namespace kerf::testing
