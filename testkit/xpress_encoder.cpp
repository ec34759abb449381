// The test encoders: the Xpress Huffman writer with the "MAM" and "MEM0"
// containers around it, and plain LZ77, in the container 0x81 0x81 "xpress"
// (a 32-byte header and one block of flag words, literals and match words)
// and as one stream of any length behind a "MAM" header. Both share one
// greedy parse.
#include "testkit/xpress_encoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>

#include "codec/crc32.h"

namespace kerf::testing {

namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr std::uint32_t kTableEntries = 1u << kMaxCodeLength;
constexpr std::uint32_t kBlockOutput = 65536;
constexpr std::size_t kLengthTableBytes = 256;

void append_u32(ByteVector& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

constexpr std::size_t kPage = 4096;
// The parse tries one earlier place per position: where its first three
// bytes were last seen at the start of a literal or match. That finds the
// long runs repetitive data (zero fills, repeated path prefixes) holds.
constexpr unsigned kHashBits = 15;

std::uint32_t hash3(std::span<const std::uint8_t> data, std::size_t i) {
  const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

std::size_t declared_size_for(std::size_t data_size) {
  const std::size_t pages = std::max<std::size_t>(1, (data_size + kPage - 1) / kPage);
  if (pages > 256) throw std::invalid_argument("an LZ77 container holds at most 256 pages");
  return pages * kPage;
}

void put_u16(ByteVector& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// One step of the greedy parse both encoders share: a literal byte (length
// 0) or a match copying `length` bytes from `offset` bytes back.
struct LzToken {
  std::uint32_t length = 0;
  std::uint32_t offset = 0;
  std::uint8_t literal = 0;
};

std::vector<LzToken> greedy_parse(std::span<const std::uint8_t> data, std::uint32_t max_offset,
                                  std::uint32_t max_length) {
  std::vector<LzToken> tokens;
  std::vector<std::size_t> last_seen(std::size_t{1} << kHashBits, SIZE_MAX);
  for (std::size_t i = 0; i < data.size();) {
    std::uint32_t length = 0;
    const std::size_t from = i + 3 <= data.size() ? std::exchange(last_seen[hash3(data, i)], i) : SIZE_MAX;
    const std::size_t longest = std::min<std::size_t>(max_length, data.size() - i);
    while (from < i && i - from <= max_offset && length < longest && data[from + length] == data[i + length]) ++length;
    if (length >= 3) {
      tokens.push_back({length, static_cast<std::uint32_t>(i - from), 0});
    } else {
      length = 1;
      tokens.push_back({0, 0, data[i]});
    }
    i += length;
  }
  return tokens;
}

// Each match word holds 13 bits of offset and 3 of length; longer lengths go
// on in a nibble (two matches share a byte), a byte, a word and, past 65538,
// a 32-bit length.
ByteVector encode_plain_lz77(std::span<const std::uint8_t> data, std::uint32_t max_length) {
  const std::vector<LzToken> tokens = greedy_parse(data, 8192, max_length);
  ByteVector out;
  std::size_t flag_word = 0;
  std::uint32_t flags = 0;
  std::optional<std::size_t> nibble_byte;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i % 32 == 0) {
      flag_word = out.size();
      out.insert(out.end(), 4, 0);
      flags = 0;
    }
    const LzToken& t = tokens[i];
    if (t.length == 0) {
      out.push_back(t.literal);
    } else {
      flags |= 1u << (31 - i % 32);
      const std::size_t code = std::min<std::size_t>(t.length - 3, 7);
      put_u16(out, ((t.offset - 1) << 3) | code);
      const std::size_t nibble = std::min<std::size_t>(t.length - 10, 15);
      if (code == 7 && !nibble_byte) {
        nibble_byte = out.size();
        out.push_back(static_cast<std::uint8_t>(nibble));
      } else if (code == 7) {
        out[*nibble_byte] = static_cast<std::uint8_t>(out[*nibble_byte] | (nibble << 4));
        nibble_byte.reset();
      }
      if (code == 7 && nibble == 15 && t.length - 25 < 255) {
        out.push_back(static_cast<std::uint8_t>(t.length - 25));
      } else if (code == 7 && nibble == 15) {
        out.push_back(255);
        put_u16(out, t.length - 3 <= 0xFFFF ? t.length - 3 : 0);
        if (t.length - 3 > 0xFFFF) {
          put_u16(out, (t.length - 3) & 0xFFFF);
          put_u16(out, (t.length - 3) >> 16);
        }
      }
    }
    for (int b = 0; b < 4; ++b) out[flag_word + b] = static_cast<std::uint8_t>(flags >> (8 * b));
  }
  return out;
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

ByteVector lz77_expected_output(std::span<const std::uint8_t> data) {
  ByteVector expected(data.begin(), data.end());
  expected.resize(declared_size_for(data.size()), 0);
  return expected;
}

ByteVector make_lz77_container(std::span<const std::uint8_t> data, Lz77Storage storage) {
  const std::size_t declared = declared_size_for(data.size());
  ByteVector payload = lz77_expected_output(data);
  if (storage == Lz77Storage::kStored64K) {
    if (data.size() > 65536) throw std::invalid_argument("a stored 64 KiB block holds at most 65536 bytes");
    payload.resize(65536, 0);
  } else if (storage == Lz77Storage::kCompressed) {
    payload = encode_plain_lz77(data, 65538);
    // The compressed size is recorded in multiples of 8. Zero padding
    // decodes as zero literals (or is never reached), and a size equal to
    // the declared size or 65536 would mark the block as stored.
    payload.resize((payload.size() + 7) / 8 * 8, 0);
    if (payload.size() == declared || payload.size() == 65536) payload.resize(payload.size() + 8, 0);
  }
  ByteVector out{0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's', static_cast<std::uint8_t>(declared / kPage - 1)};
  const auto x = static_cast<std::uint32_t>((payload.size() - 8) << 2);
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(x >> (8 * b)));
  out.resize(32, 0);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

ByteVector make_mam_lz77_container(std::span<const std::uint8_t> data) {
  ByteVector out{'M', 'A', 'M', 0x03};
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(data.size() >> (8 * b)));
  const ByteVector stream = encode_plain_lz77(data, 1u << 24);
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

ByteVector with_mam_checksum(const ByteVector& mam) {
  // The header, four zero bytes where the checksum goes, then the data.
  ByteVector out(mam.begin(), mam.end());
  out.insert(out.begin() + 8, 4, 0);
  out[3] = static_cast<std::uint8_t>(out[3] | 0x80);
  const std::uint32_t crc = kerf::codec::crc32(out);
  for (int b = 0; b < 4; ++b) out[8 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(crc >> (8 * b));
  return out;
}

}  // namespace kerf::testing
