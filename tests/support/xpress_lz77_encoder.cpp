// Plain LZ77: the greedy parse both test encoders share, and the writers of
// the container 0x81 0x81 "xpress" (a 32-byte header and one block of flag
// words, literals and match words) and of the same stream, of any length,
// behind a "MAM" header.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>

#include "lib/io/crc32.h"
#include "tests/support/xpress_encoder.h"

namespace kerf::testing {

namespace {

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

}  // namespace

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
  const std::uint32_t crc = kerf::io::crc32(out);
  for (int b = 0; b < 4; ++b) out[8 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(crc >> (8 * b));
  return out;
}

}  // namespace kerf::testing
