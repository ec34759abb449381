// The container decoder against streams written by the test encoder and by
// hand: round trips, container headers, and damaged streams.
#include "prefetch/xpress_decoder.h"

#include <gtest/gtest.h>

#include "lib/io/crc32.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/xpress_encoder.h"
#include "tests/support/xpress_sample_data.h"

namespace {

using kerf::XpressDecoder;
using kerf::testing::ByteVector;
using kerf::testing::CodeLengths;
using kerf::testing::XpressBlockWriter;

struct Decoded {
  bool ok = false;
  ByteVector output;
};

Decoded decode(const ByteVector& input) {
  XpressDecoder decoder;
  const bool ok = decoder.decompress(input);
  return {ok, decoder.output()};
}

// Data of three shapes: no repeats, one long run, and Prefetch-like names.
std::vector<ByteVector> shapes(std::size_t size) {
  return {kerf::testing::random_bytes(size, 7), ByteVector(size, 0), kerf::testing::prefetch_like_bytes(size, 11)};
}

// `symbols` codes of one length: they fill the table exactly when there are
// 2^length of them.
CodeLengths uniform_lengths(std::initializer_list<std::uint16_t> symbols, std::uint8_t length) {
  CodeLengths lengths{};
  for (const std::uint16_t s : symbols) lengths[s] = length;
  return lengths;
}

TEST(XpressRoundTrip, HuffmanContainersGiveBackTheData) {
  kerf::testing::HuffmanEncodeStats stats;
  for (const std::size_t size : {1u, 65535u, 65536u, 65537u, 200u * 1024}) {
    for (const ByteVector& data : shapes(size)) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", first byte " << int{data[0]});
      for (const ByteVector& container :
           {kerf::testing::make_mam_container(data, {}, &stats), kerf::testing::make_mem0_container(data)}) {
        const Decoded decoded = decode(container);
        ASSERT_TRUE(decoded.ok);
        EXPECT_TRUE(decoded.output == data);  // up to the last literal
      }
    }
  }
  // The streams above reached every way of writing a match.
  EXPECT_GT(stats.crossing_matches, 0u);
  EXPECT_GT(stats.byte_escapes, 0u);
  EXPECT_GT(stats.word_escapes, 0u);
}

TEST(XpressRoundTrip, Lz77ContainerGivesBackItsDeclaredPages) {
  using kerf::testing::Lz77Storage;
  for (const std::size_t size : {1u, 5000u, 40000u, 65536u}) {
    for (const ByteVector& data : shapes(size)) {
      for (const Lz77Storage storage :
           {Lz77Storage::kCompressed, Lz77Storage::kStoredDeclaredSize, Lz77Storage::kStored64K}) {
        SCOPED_TRACE(testing::Message() << size << "/" << int{data[0]} << "/" << static_cast<int>(storage));
        const Decoded decoded = decode(kerf::testing::make_lz77_container(data, {.storage = storage}));
        ASSERT_TRUE(decoded.ok);
        // Cut to the declared pages even when the block held 64 KiB.
        EXPECT_TRUE(decoded.output == kerf::testing::lz77_expected_output(data));
      }
    }
  }
  // More pages than one block holds.
  EXPECT_FALSE(decode(kerf::testing::make_lz77_container(shapes(65537)[2])).ok);
}

// A 13-byte input: four signature bytes, a declared size, padding.
ByteVector header(std::string_view magic, std::uint32_t size) {
  ByteVector out(magic.begin(), magic.end());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  out.resize(13, 0);
  return out;
}

TEST(XpressContainer, DetectsHeaders) {
  struct Case {
    ByteVector input;
    kerf::ContainerKind kind;
    std::uint32_t declared;
  };
  const Case cases[] = {
      {header("MAM\x04", 100), kerf::ContainerKind::mam, 100},
      {header("MAM\xFF", 7), kerf::ContainerKind::mam, 7},
      {header("MAM\x04", 0), kerf::ContainerKind::none, 0},
      {ByteVector{'M', 'A', 'M', 4, 100, 0, 0, 0, 0, 0, 0, 0}, kerf::ContainerKind::none, 0},  // 12 bytes
      {header("MEM0", 65536), kerf::ContainerKind::mem0, 65536},
      {header("MEM1", 65536), kerf::ContainerKind::none, 0},
      {ByteVector{0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's', 3, 0, 0, 0, 0}, kerf::ContainerKind::lz77, 4 * 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input.begin(), c.input.begin() + 4));
    const XpressDecoder::Container found = XpressDecoder::detect_container(c.input);
    EXPECT_EQ(found.kind, c.kind);
    EXPECT_EQ(found.declared_size, c.declared);
  }
}

TEST(XpressContainer, RefusesDeclaredSizesAboveSixteenMebibytesWithoutAllocating) {
  for (const std::uint32_t declared : {XpressDecoder::kMaxDeclaredSize, XpressDecoder::kMaxDeclaredSize + 1, 0xFFFFFFFFu}) {
    for (const char* magic : {"MAM\x04", "MEM0"}) {
      SCOPED_TRACE(testing::Message() << magic << " " << declared);
      XpressDecoder decoder;
      const bool ok = declared == XpressDecoder::kMaxDeclaredSize;
      EXPECT_EQ(decoder.decompress(header(magic, declared)), ok);
      // A refused size allocates nothing.
      EXPECT_EQ(ok ? decoder.output().size() : decoder.output().capacity(), ok ? declared : 0u);
    }
  }
}

// One decoder serves a whole bulk run: bytes an earlier, longer output left in
// its buffer must never show through a later file's damaged tail.
TEST(XpressDamage, ReusedDecoderGivesWhatAFreshOneGives) {
  const ByteVector first = shapes(150 * 1024)[0];
  ByteVector cut = kerf::testing::make_mam_container(shapes(120 * 1024)[2]);
  cut.resize(cut.size() / 2);
  XpressDecoder decoder;
  ASSERT_TRUE(decoder.decompress(kerf::testing::make_mam_container(first)));
  ASSERT_TRUE(decoder.decompress(cut));
  EXPECT_TRUE(decoder.output() == decode(cut).output);
  ASSERT_TRUE(decoder.decompress(kerf::testing::make_mem0_container(first)));
  EXPECT_TRUE(decoder.output() == first);
}

// Zero from `from` to the end of `bytes`.
bool zero_from(const ByteVector& bytes, std::size_t from) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                     [](std::uint8_t b) { return b == 0; });
}

TEST(XpressDamage, Lz77StopsAtMissingBytesAndAtReferencesBeforeTheStart) {
  // A stored block whose last bytes are missing keeps the bytes present.
  const ByteVector data = shapes(4096)[0];
  ByteVector cut = kerf::testing::make_lz77_container(data, {.storage = kerf::testing::Lz77Storage::kStoredDeclaredSize});
  cut.resize(cut.size() - 20);
  Decoded decoded = decode(cut);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(std::equal(data.begin(), data.end() - 20, decoded.output.begin()));
  EXPECT_TRUE(zero_from(decoded.output, data.size() - 20));

  // Flags: literal 'a', then a match 5 bytes back, before the output starts.
  ByteVector before_start = kerf::testing::make_lz77_container(ByteVector(10, 'q'));
  before_start.resize(32);
  before_start.insert(before_start.end(), {0x00, 0x00, 0x00, 0x40, 'a', 4 << 3, 0, 'b', 'c', 'd', 'e', 'f'});
  decoded = decode(before_start);
  ASSERT_TRUE(decoded.ok);
  ASSERT_EQ(decoded.output.size(), 4096u);
  EXPECT_EQ(decoded.output[0], 'a');
  EXPECT_TRUE(zero_from(decoded.output, 1));
}

// 16 literals, then a match of nibble 15 whose escape runs into the end of
// the input: the block fails, what it decoded stays.
TEST(XpressDamage, LengthEscapePastTheEndFailsTheBlock) {
  for (const bool with_escape_byte : {false, true}) {
    SCOPED_TRACE(with_escape_byte);
    XpressBlockWriter writer(uniform_lengths({'a', 256 + 15}, 1));
    for (int i = 0; i < 16; ++i) writer.literal('a');
    writer.symbol(256 + 15);
    if (with_escape_byte) writer.extra_byte(255);
    ByteVector input = kerf::testing::mam_from_blocks(100, {writer.finish()});
    input.resize(input.size() - 2);  // no closing word: the escape is the last thing
    const Decoded decoded = decode(input);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(ByteVector(decoded.output.begin(), decoded.output.begin() + 16), ByteVector(16, 'a'));
    EXPECT_TRUE(zero_from(decoded.output, 16));
  }
}

TEST(XpressDamage, OverfullTableStillDecodes) {
  // Three codes of one bit: 'a' and 'b' fill the table, 'c' never decodes.
  XpressBlockWriter writer(uniform_lengths({'a', 'b', 'c'}, 1));
  const std::string text = "abbabaaab";
  for (const char ch : text) writer.literal(static_cast<std::uint8_t>(ch));
  const Decoded decoded =
      decode(kerf::testing::mam_from_blocks(static_cast<std::uint32_t>(text.size()), {writer.finish()}));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(std::string(decoded.output.begin(), decoded.output.end()), text);
}

TEST(XpressDamage, FailedBlockKeepsEarlierOutputAndZerosAfter) {
  const ByteVector first_data = shapes(65536)[0];
  const ByteVector first_block = kerf::testing::xpress_huffman_blocks(first_data, {.literals_only = true}).at(0);
  const std::uint16_t match9_offset8 = 256 + 16 * 3 + 6;   // length 9, offset 8..15
  const std::uint16_t match3_offset30 = 256 + 16 * 4 + 0;  // length 3, offset 16..31
  struct Case {
    const char* name;
    CodeLengths lengths;
    std::function<void(XpressBlockWriter&)> write;
    std::string good;         // what the failing block decodes before it fails
    bool can_follow_block;    // a later block starts 64 KiB in: no offset reaches before that
  };
  const Case cases[] = {
      // The word-wise copy of the first match writes past its end; those
      // bytes must not survive the failure.
      {"reference before the start after a long copy",
       uniform_lengths({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', match9_offset8, match3_offset30, 0, 1, 2, 3, 4, 5}, 4),
       [](XpressBlockWriter& w) {
         for (const char ch : std::string("abcdefgh")) w.literal(static_cast<std::uint8_t>(ch));
         w.match(9, 8);
         w.match(3, 30);
       },
       "abcdefghabcdefgha", false},
      {"escaped length word below 15", uniform_lengths({'x', 256 + 15}, 1),
       [](XpressBlockWriter& w) {
         w.literal('x');
         w.match(14, 1, kerf::testing::LengthEscape::kWord);
       },
       "x", true},
      {"code lengths not filling the table", uniform_lengths({'x'}, 1),
       [](XpressBlockWriter& w) {
         for (int i = 0; i < 40; ++i) w.literal('x');
       },
       "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XpressBlockWriter writer(c.lengths);
    c.write(writer);
    const ByteVector bad_block = writer.finish();
    for (const bool after_good_block : {false, true}) {
      if (after_good_block && !c.can_follow_block) continue;
      SCOPED_TRACE(after_good_block);
      std::vector<ByteVector> blocks{bad_block};
      ByteVector expected(1000, 0);
      if (after_good_block) {
        blocks.insert(blocks.begin(), first_block);
        expected.insert(expected.begin(), first_data.begin(), first_data.end());
      }
      std::copy(c.good.begin(), c.good.end(), expected.end() - 1000);
      const auto declared = static_cast<std::uint32_t>(expected.size());
      for (const ByteVector& input : {kerf::testing::mam_from_blocks(declared, blocks),
                                      kerf::testing::mem0_from_blocks(declared, blocks)}) {
        kerf::XpressDecoder decoder;
        ASSERT_TRUE(decoder.decompress(input));
        EXPECT_TRUE(decoder.output() == expected);
        EXPECT_EQ(decoder.outcome(), kerf::XpressDecoder::Outcome::damaged);
      }
    }
  }
}

// The reader loads 32 bits ahead of what it decodes, so a stream's last
// symbols may stand in bytes it has loaded while its position is already at
// the end of the input: Windows writes no padding after them. A stream cut
// shorter than that ends before its declared size, and says so.
TEST(XpressEnd, LastSymbolsInTheLookAheadDecodeAndAShortStreamEndsEarly) {
  for (const ByteVector& data : shapes(5000)) {
    SCOPED_TRACE(int{data[0]});
    ByteVector container = kerf::testing::make_mam_container(data);
    container.resize(container.size() - 2);  // the closing zero word the test encoder adds
    kerf::XpressDecoder decoder;
    ASSERT_TRUE(decoder.decompress(container));
    EXPECT_EQ(decoder.outcome(), kerf::XpressDecoder::Outcome::complete);
    EXPECT_TRUE(decoder.output() == data);
    container.resize(container.size() / 2);
    ASSERT_TRUE(decoder.decompress(container));
    EXPECT_EQ(decoder.outcome(), kerf::XpressDecoder::Outcome::ends_early);
    EXPECT_EQ(decoder.output().size(), data.size());
  }
}

TEST(XpressMatch, EscapedLengthWordsKeepTheirFullValue) {
  // 'a', then one match of offset 1 whose length is written as a word: no
  // 16-bit wrap when 3 is added to it.
  for (const std::uint32_t word : {15u, 270u, 65533u, 65535u}) {
    SCOPED_TRACE(word);
    XpressBlockWriter writer(uniform_lengths({'a', 256 + 15}, 1));
    writer.literal('a');
    writer.match(word + 3, 1, kerf::testing::LengthEscape::kWord);
    const std::uint32_t declared = 1 + word + 3;
    const Decoded decoded = decode(kerf::testing::mam_from_blocks(declared, {writer.finish()}));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.output, ByteVector(declared, 'a'));
  }
}

TEST(Crc32, StandardCheckValueWhetherFedWholeOrInPieces) {
  const std::string text = "123456789";
  const ByteVector bytes(text.begin(), text.end());
  EXPECT_EQ(kerf::io::crc32(bytes), 0xCBF43926u);
  EXPECT_EQ(kerf::io::crc32({}), 0u);
  kerf::io::Crc32 pieces;
  pieces.update(std::span(bytes).first(4));
  pieces.update_zeros(3);
  pieces.update(std::span(bytes).subspan(4));
  ByteVector with_zeros = bytes;
  with_zeros.insert(with_zeros.begin() + 4, 3, 0);
  EXPECT_EQ(pieces.value(), kerf::io::crc32(with_zeros));
}

TEST(XpressRoundTrip, MamLz77StreamOfAnySize) {
  // A run of zeros longer than a 16-bit match length holds, then more data.
  ByteVector long_run(100 * 1024, 0);
  const ByteVector tail = shapes(3000)[2];
  long_run.insert(long_run.end(), tail.begin(), tail.end());
  std::vector<ByteVector> inputs{long_run};
  for (const std::size_t size : {1u, 65536u, 65537u, 200u * 1024}) {
    for (ByteVector& data : shapes(size)) inputs.push_back(std::move(data));
  }
  for (const ByteVector& data : inputs) {
    SCOPED_TRACE(testing::Message() << "size " << data.size() << ", first byte " << int{data[0]});
    const ByteVector container = kerf::testing::make_mam_lz77_container(data);
    EXPECT_EQ(XpressDecoder::detect_container(container).method, XpressDecoder::kMethodLz77);
    const Decoded decoded = decode(container);
    ASSERT_TRUE(decoded.ok);
    EXPECT_TRUE(decoded.output == data);
  }
  // A stream that runs on past its declared size stops there, in the middle
  // of the long match.
  ByteVector cut = kerf::testing::make_mam_lz77_container(long_run);
  const ByteVector size_32k{0x00, 0x80, 0x00, 0x00};
  std::copy(size_32k.begin(), size_32k.end(), cut.begin() + 4);
  const Decoded decoded = decode(cut);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.output == ByteVector(long_run.begin(), long_run.begin() + 32 * 1024));
}

// The top bit of the fourth header byte puts a CRC32 of the file behind the
// declared size; it covers the header too. A file whose checksum fails is
// still decoded.
TEST(XpressContainer, ChecksumMovesTheDataAndIsChecked) {
  const ByteVector data = shapes(100 * 1024)[2];
  const ByteVector containers[] = {kerf::testing::make_mam_container(data),
                                   kerf::testing::make_mam_lz77_container(data)};
  for (const ByteVector& plain : containers) {
    SCOPED_TRACE(int{plain[3]});
    const ByteVector checked = kerf::testing::with_mam_checksum(plain);
    ByteVector wrong_sum = checked;
    wrong_sum[9] ^= 0x01;
    ByteVector wrong_header = checked;
    wrong_header[3] ^= 0x10;  // a bit that names neither the method nor the checksum
    struct Case {
      const char* what;
      const ByteVector& input;
      std::optional<bool> matches;
    };
    const Case cases[] = {
        {"no checksum", plain, std::nullopt},
        {"checksum holds", checked, true},
        {"checksum field changed", wrong_sum, false},
        {"header byte changed", wrong_header, false},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      XpressDecoder decoder;
      ASSERT_TRUE(decoder.decompress(c.input));
      EXPECT_EQ(decoder.checksum_matches(), c.matches);
      EXPECT_TRUE(decoder.output() == data);
    }
    // A changed data byte fails the checksum too.
    ByteVector wrong_data = checked;
    wrong_data[wrong_data.size() / 2] ^= 0x40;
    XpressDecoder decoder;
    ASSERT_TRUE(decoder.decompress(wrong_data));
    EXPECT_EQ(decoder.checksum_matches(), false);
  }
}

TEST(XpressContainer, MamMethodNibble) {
  struct Case {
    std::uint8_t byte3;
    std::uint8_t method;
    bool checksum;
    bool known;
  };
  const Case cases[] = {
      {0x04, 4, false, true}, {0x03, 3, false, true}, {0x84, 4, true, true}, {0x83, 3, true, true},
      {0x14, 4, false, true}, {0x00, 0, false, false}, {0x02, 2, false, false}, {0x05, 5, false, false},
      {0x8F, 15, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.byte3});
    ByteVector input = header("MAM", 100);
    input.insert(input.begin() + 3, c.byte3);
    const XpressDecoder::Container found = XpressDecoder::detect_container(input);
    EXPECT_EQ(found.kind, kerf::ContainerKind::mam);
    EXPECT_EQ(found.method, c.method);
    EXPECT_EQ(found.has_checksum, c.checksum);
    EXPECT_EQ(found.data_offset, c.checksum ? 12u : 8u);
    EXPECT_EQ(found.method_known(), c.known);
    XpressDecoder decoder;
    EXPECT_EQ(decoder.decompress(input), c.known);
  }
}

}  // namespace
