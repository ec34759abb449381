// Plain LZ77: groups of 32 literal/match flags, each group behind a 32-bit
// flag word read most significant flag first. It comes as one block of at
// most 64 KiB inside the container that starts with 0x81 0x81 "xpress", or
// as one stream of any size behind a "MAM" header.
#include <algorithm>
#include <cstdint>

#include "codec/match_copy.h"
#include "codec/xpress_decoder.h"

namespace kerf::codec {

namespace {

constexpr std::uint64_t kLz77HeaderSize = 32;
// The output of the one block: the container counts at most 16 pages.
constexpr std::uint32_t kLz77Capacity = 65536;

// Where a block's literals, flag words and match words are read from.
class Lz77Input {
 public:
  Lz77Input(const io::ByteReader& data, std::uint64_t end) : m_data(data), m_end(end) {}

  bool more() const { return m_pos < m_end; }
  std::uint64_t position() const { return m_pos; }

  template <typename T>
  std::optional<T> read() {
    std::optional<T> value;
    if constexpr (sizeof(T) == 1) value = m_data.u8(m_pos);
    if constexpr (sizeof(T) == 2) value = m_data.u16(m_pos);
    if constexpr (sizeof(T) == 4) value = m_data.u32(m_pos);
    if (value) m_pos += sizeof(T);
    return value;
  }

 private:
  const io::ByteReader& m_data;
  std::uint64_t m_end;
  std::uint64_t m_pos = 0;
};

// The length of a match whose 3-bit length field is all ones: a nibble (two
// long matches share one byte, low nibble first), then a byte, then a word,
// and, where the word is 0, a 32-bit length.
class LongLengths {
 public:
  std::optional<std::uint32_t> read(Lz77Input& in) {
    std::uint32_t nibble = 0;
    if (m_have_high_nibble) {
      nibble = m_high_nibble;
      m_have_high_nibble = false;
    } else {
      const auto shared = in.read<std::uint8_t>();
      if (!shared) return std::nullopt;
      nibble = *shared & 0x0Fu;
      m_high_nibble = *shared >> 4;
      m_have_high_nibble = true;
    }
    if (nibble < 15) return nibble + 10;
    const auto extra = in.read<std::uint8_t>();
    if (!extra) return std::nullopt;
    if (*extra < 255) return *extra + 25u;
    const auto wide = in.read<std::uint16_t>();
    if (!wide) return std::nullopt;
    if (*wide != 0) return *wide + 3u;
    const auto whole = in.read<std::uint32_t>();
    if (!whole) return std::nullopt;
    return std::min<std::uint32_t>(*whole, UINT32_MAX - 3) + 3u;
  }

 private:
  bool m_have_high_nibble = false;
  std::uint32_t m_high_nibble = 0;
};

}  // namespace

bool XpressDecoder::decode_lz77_block(const io::ByteReader& input) {
  const std::uint32_t out_size = m_declared_size;
  if (out_size > kLz77Capacity) return false;
  // Nothing is read before it is written (a match copies from behind it),
  // and what the block does not reach is zeroed at the end.
  m_output.resize(kLz77Capacity);

  // Compressed size from the header; a size the input cannot hold means
  // "everything after the header".
  const std::uint64_t length = input.size();
  std::uint64_t compressed = ((std::uint64_t{input.u32_or(9, 0)} >> 2) + 8) & ~std::uint64_t{7};
  if (compressed > length || compressed == 0) {
    compressed = length > kLz77HeaderSize ? length - kLz77HeaderSize : 0;
  }
  const io::ByteReader data = input.tail(kLz77HeaderSize);

  std::uint64_t consumed = 0;
  if (compressed == kLz77Capacity || compressed == out_size) {
    // A stored block: the data is the output. Only the bytes present are copied.
    const std::uint64_t present = std::min<std::uint64_t>(compressed, data.size());
    const std::span<const std::uint8_t> stored = data.bytes(0, present);
    std::copy(stored.begin(), stored.end(), m_output.begin());
    m_out_pos = static_cast<std::uint32_t>(present);
    consumed = compressed;
  } else {
    consumed = decode_lz77_stream(data, compressed);
  }
  // A container of fewer pages than the block's capacity holds just its
  // declared pages; the bytes a word-wise match copy wrote past the last
  // match are not part of the file.
  m_output.resize(out_size);
  zero_output_from(m_out_pos);
  m_consumed = kLz77HeaderSize + consumed;
  return consumed != 0;
}

std::uint64_t XpressDecoder::decode_lz77_stream(const io::ByteReader& data, std::uint64_t end) {
  const std::uint32_t out_size = m_declared_size;
  std::uint8_t* const out = m_output.data();
  std::uint32_t out_pos = 0;
  Lz77Input in(data, end);
  LongLengths long_lengths;
  std::uint32_t flags = 0;
  int flags_left = 0;
  while (in.more() && out_pos < out_size) {
    if (flags_left == 0) {
      const auto word = in.read<std::uint32_t>();
      if (!word) {
        m_ran_out = true;
        break;
      }
      flags = *word;
      flags_left = 32;
    }
    --flags_left;
    if (((flags >> flags_left) & 1u) == 0) {
      const auto literal = in.read<std::uint8_t>();
      if (!literal) {
        m_ran_out = true;
        break;
      }
      out[out_pos++] = *literal;
      continue;
    }
    const auto match = in.read<std::uint16_t>();
    if (!match) {
      m_ran_out = true;
      break;
    }
    const std::uint32_t offset = (std::uint32_t{*match} >> 3) + 1;
    std::optional<std::uint32_t> match_length = (*match & 7u) + 3;
    if ((*match & 7u) == 7) match_length = long_lengths.read(in);
    // A length cut off by the end of the input ran out; a match reaching
    // before the output's start is damage.
    m_ran_out = !match_length;
    if (!match_length || offset > out_pos) break;
    // The output buffer holds the declared size, so that is the only bound
    // a match meets.
    const std::uint32_t count = std::min(*match_length, out_size - out_pos);
    copy_match(out, out_pos, offset, count, out_size);
    out_pos += count;
  }
  m_out_pos = out_pos;
  return in.position();
}

}  // namespace kerf::codec
