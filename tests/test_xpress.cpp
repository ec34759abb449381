// The container decoder against streams written by the test encoder and by
// hand, and against the real compressed Prefetch files of the corpus.
#include "prefetch/xpress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/support/corpus.h"
#include "tests/support/xpress_encoder.h"
#include "tests/support/xpress_sample_data.h"

namespace {

using kerf::xpress_adt;
using kerf::testing::ByteVector;
using kerf::testing::CodeLengths;
using kerf::testing::XpressBlockWriter;

struct Decoded {
  bool ok = false;
  ByteVector output;
};

Decoded decode(const ByteVector& input) {
  xpress_adt decoder;
  const bool ok = decoder.decompress(input);
  return {ok, decoder.output()};
}

ByteVector utf16_paths(std::size_t size) {
  static const std::string kPath = "\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\";
  ByteVector out;
  for (unsigned i = 0; out.size() < size; ++i) {
    for (const char c : kPath + "FILE" + std::to_string(i % 37) + ".DLL") {
      out.push_back(static_cast<std::uint8_t>(c));
      out.push_back(0);
    }
  }
  out.resize(size);
  return out;
}

enum class Kind { kRandom, kZeros, kOneByte, kPaths, kPrefetchLike };

ByteVector make_data(Kind kind, std::size_t size) {
  switch (kind) {
    case Kind::kRandom: return kerf::testing::random_bytes(size, 7);
    case Kind::kZeros: return ByteVector(size, 0);
    case Kind::kOneByte: return ByteVector(size, 0xA5);
    case Kind::kPaths: return utf16_paths(size);
    case Kind::kPrefetchLike: return kerf::testing::prefetch_like_bytes(size, 11);
  }
  return {};
}

constexpr Kind kKinds[] = {Kind::kRandom, Kind::kZeros, Kind::kOneByte, Kind::kPaths, Kind::kPrefetchLike};
constexpr std::size_t kSizes[] = {1, 255, 65535, 65536, 65537, 200 * 1024};

// Every byte from `from` on is zero.
bool zero_from(const ByteVector& bytes, std::size_t from) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())), bytes.end(),
                     [](std::uint8_t b) { return b == 0; });
}

// Code lengths giving `symbols` codes of one length, which fill the table
// exactly when there are 2^length of them.
CodeLengths uniform_lengths(std::initializer_list<std::uint16_t> symbols, std::uint8_t length) {
  CodeLengths lengths{};
  for (const std::uint16_t s : symbols) lengths[s] = length;
  return lengths;
}

// ---------------------------------------------------------------- round trips

TEST(XpressRoundTrip, HuffmanContainersGiveBackTheData) {
  for (const Kind kind : kKinds) {
    for (const std::size_t size : kSizes) {
      SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " size " << size);
      const ByteVector data = make_data(kind, size);
      for (const ByteVector& container :
           {kerf::testing::make_mam_container(data), kerf::testing::make_mem0_container(data)}) {
        const Decoded decoded = decode(container);
        ASSERT_TRUE(decoded.ok);
        ASSERT_EQ(decoded.output.size(), data.size());
        EXPECT_TRUE(decoded.output == data);
      }
    }
  }
}

TEST(XpressRoundTrip, EncoderOptionsReachEveryMatchPath) {
  using kerf::testing::HuffmanEncodeOptions;
  using kerf::testing::HuffmanEncodeStats;
  struct Case {
    const char* name;
    Kind kind;
    std::size_t size;
    HuffmanEncodeOptions options;
    std::size_t HuffmanEncodeStats::*must_occur;
  };
  HuffmanEncodeOptions literals;
  literals.literals_only = true;
  HuffmanEncodeOptions within_blocks;
  within_blocks.matches_cross_blocks = false;
  HuffmanEncodeOptions words;
  words.escape = kerf::testing::LengthEscape::kWord;
  HuffmanEncodeOptions short_matches;
  short_matches.max_match_length = 17;
  const Case cases[] = {
      {"literal-only", Kind::kPrefetchLike, 200 * 1024, literals, &HuffmanEncodeStats::literals},
      {"crossing zero run", Kind::kZeros, 200 * 1024, {}, &HuffmanEncodeStats::crossing_matches},
      {"crossing paths", Kind::kPaths, 200 * 1024, {}, &HuffmanEncodeStats::crossing_matches},
      {"blocks kept apart", Kind::kPaths, 200 * 1024, within_blocks, &HuffmanEncodeStats::matches},
      {"byte escapes", Kind::kPrefetchLike, 80 * 1024, {}, &HuffmanEncodeStats::byte_escapes},
      {"word escapes", Kind::kPrefetchLike, 80 * 1024, {}, &HuffmanEncodeStats::word_escapes},
      {"word form always", Kind::kPaths, 80 * 1024, words, &HuffmanEncodeStats::word_escapes},
      {"nibble lengths only", Kind::kPrefetchLike, 80 * 1024, short_matches, &HuffmanEncodeStats::matches},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ByteVector data = make_data(c.kind, c.size);
    HuffmanEncodeStats stats;
    const Decoded decoded = decode(kerf::testing::make_mam_container(data, c.options, &stats));
    EXPECT_GT(stats.*c.must_occur, 0u);
    ASSERT_TRUE(decoded.ok);
    EXPECT_TRUE(decoded.output == data);
    if (c.options.literals_only) {
      // Without matches every block ends after exactly 65536 bytes.
      EXPECT_EQ(stats.blocks, (data.size() + 65535) / 65536);
      EXPECT_EQ(stats.matches, 0u);
    }
    if (!c.options.matches_cross_blocks) {
      EXPECT_EQ(stats.crossing_matches, 0u);
    }
  }
}

TEST(XpressRoundTrip, Lz77ContainerGivesBackTheDataPaddedToItsPages) {
  using kerf::testing::Lz77Options;
  using kerf::testing::Lz77Storage;
  for (const Kind kind : kKinds) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{255}, std::size_t{4096}, std::size_t{5000},
                                   std::size_t{65535}, std::size_t{65536}}) {
      for (const Lz77Storage storage : {Lz77Storage::kCompressed, Lz77Storage::kStoredDeclaredSize,
                                        Lz77Storage::kStored64K}) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " size " << size << " storage "
                                        << static_cast<int>(storage));
        const ByteVector data = make_data(kind, size);
        Lz77Options options;
        options.storage = storage;
        const Decoded decoded = decode(kerf::testing::make_lz77_container(data, options));
        ASSERT_TRUE(decoded.ok);
        EXPECT_TRUE(decoded.output == kerf::testing::lz77_expected_output(data));
      }
    }
  }
}

// ------------------------------------------------------------ containers

TEST(XpressContainer, DetectsHeaders) {
  const auto u32 = [](std::uint32_t v) {
    return ByteVector{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  };
  const auto concat = [](std::initializer_list<ByteVector> parts) {
    ByteVector out;
    for (const ByteVector& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const ByteVector pad(5, 0xEE);
  const ByteVector lz77{0x81, 0x81, 'x', 'p', 'r', 'e', 's', 's'};
  struct Case {
    const char* name;
    ByteVector input;
    std::uint32_t kind;
    std::uint32_t declared;
  };
  const Case cases[] = {
      {"MAM", concat({{'M', 'A', 'M', 0x04}, u32(100), pad}), xpress_adt::kMam, 100},
      {"MAM, any fourth byte", concat({{'M', 'A', 'M', 0xFF}, u32(7), pad}), xpress_adt::kMam, 7},
      {"MAM, size 0", concat({{'M', 'A', 'M', 0x04}, u32(0), pad}), xpress_adt::kNone, 0},
      {"MAM, 12 bytes", concat({{'M', 'A', 'M', 0x04}, u32(100), {0, 0, 0, 0}}), xpress_adt::kNone, 0},
      {"MEM0", concat({{'M', 'E', 'M', '0'}, u32(65536), pad}), xpress_adt::kMem0, 65536},
      {"MEM1", concat({{'M', 'E', 'M', '1'}, u32(65536), pad}), xpress_adt::kNone, 0},
      {"LZ77", concat({lz77, {3}, pad}), xpress_adt::kLz77, 4 * 4096},
      {"LZ77, 256 pages", concat({lz77, {255}, pad}), xpress_adt::kLz77, 256 * 4096},
      {"LZ77, 12 bytes", concat({lz77, {0, 1, 2, 3}}), xpress_adt::kNone, 0},
      {"plain image", concat({u32(30), {'S', 'C', 'C', 'A'}, u32(17), pad}), xpress_adt::kNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const xpress_adt::Container found = xpress_adt::detect_container(c.input);
    EXPECT_EQ(found.kind, c.kind);
    EXPECT_EQ(found.declared_size, c.declared);
    xpress_adt decoder;
    EXPECT_EQ(decoder.decompress(c.input), c.kind != xpress_adt::kNone && c.kind != xpress_adt::kLz77);
  }
}

TEST(XpressContainer, RefusesDeclaredSizesAboveSixteenMebibytesWithoutAllocating) {
  struct Case {
    std::uint32_t declared;
    bool ok;
  };
  for (const Case c : {Case{xpress_adt::kMaxDeclaredSize, true}, Case{xpress_adt::kMaxDeclaredSize + 1, false},
                       Case{0xFFFFFFFFu, false}}) {
    SCOPED_TRACE(c.declared);
    for (const char* magic : {"MAM\x04", "MEM0"}) {
      ByteVector input(magic, magic + 4);
      for (int i = 0; i < 4; ++i) input.push_back(static_cast<std::uint8_t>(c.declared >> (8 * i)));
      input.resize(13, 0);
      xpress_adt decoder;
      EXPECT_EQ(decoder.decompress(input), c.ok);
      if (c.ok) {
        EXPECT_EQ(decoder.output().size(), c.declared);
        EXPECT_TRUE(zero_from(decoder.output(), 0));
      } else {
        EXPECT_EQ(decoder.output().capacity(), 0u);
      }
    }
  }
}

TEST(XpressContainer, Lz77DeclaredSizeBelowAtAndAboveOneBlock) {
  struct Case {
    std::size_t data_size;
    bool ok;
  };
  for (const Case c : {Case{100, true}, Case{40000, true}, Case{65536, true}, Case{65537, false},
                       Case{300000, false}}) {
    SCOPED_TRACE(c.data_size);
    const ByteVector data = make_data(Kind::kPaths, c.data_size);
    const Decoded decoded = decode(kerf::testing::make_lz77_container(data));
    EXPECT_EQ(decoded.ok, c.ok);
    if (c.ok) {
      EXPECT_TRUE(decoded.output == kerf::testing::lz77_expected_output(data));
    }
  }
}

TEST(XpressContainer, Lz77StopsAtMissingBytesAndAtReferencesBeforeTheStart) {
  // A stored block whose last bytes are missing (the recorded size still
  // fits the input, so the block still counts as stored).
  const ByteVector data = make_data(Kind::kRandom, 4096);
  kerf::testing::Lz77Options stored;
  stored.storage = kerf::testing::Lz77Storage::kStoredDeclaredSize;
  ByteVector cut = kerf::testing::make_lz77_container(data, stored);
  cut.resize(cut.size() - 20);
  Decoded decoded = decode(cut);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(std::equal(data.begin(), data.end() - 20, decoded.output.begin()));
  EXPECT_TRUE(zero_from(decoded.output, data.size() - 20));

  // Flags: literal 'a', then a match 5 bytes back.
  ByteVector before_start = kerf::testing::make_lz77_container(ByteVector(10, 'q'));
  before_start.resize(32);
  before_start.insert(before_start.end(), {0x00, 0x00, 0x00, 0x40, 'a', 4 << 3, 0, 'b', 'c', 'd', 'e', 'f'});
  decoded = decode(before_start);
  ASSERT_TRUE(decoded.ok);
  ASSERT_EQ(decoded.output.size(), 4096u);
  EXPECT_EQ(decoded.output[0], 'a');
  EXPECT_TRUE(zero_from(decoded.output, 1));
}

// ----------------------------------------------------- damaged Huffman streams

TEST(XpressDamage, TruncatedStreamKeepsWhatItDecodedAndSucceeds) {
  const ByteVector data = make_data(Kind::kRandom, 200 * 1024);
  kerf::testing::HuffmanEncodeOptions literals;
  literals.literals_only = true;
  const ByteVector full = kerf::testing::make_mam_container(data, literals);
  for (const double fraction : {0.1, 0.5, 0.9}) {
    SCOPED_TRACE(fraction);
    ByteVector cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(full.size() * fraction));
    const Decoded decoded = decode(cut);
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.output.size(), data.size());
    const auto mismatch = std::mismatch(data.begin(), data.end(), decoded.output.begin()).first - data.begin();
    EXPECT_GT(mismatch, static_cast<std::ptrdiff_t>(data.size() * (fraction - 0.05)));
    // At most the one symbol decoded from the zero bits read past the end.
    EXPECT_TRUE(zero_from(decoded.output, static_cast<std::size_t>(mismatch) + 1));
  }
}

// One decoder serves a whole bulk run: bytes an earlier, longer output left in
// its buffer must never show through a later file's damaged tail.
TEST(XpressDamage, ReusedDecoderLeavesNothingOfTheEarlierOutput) {
  const ByteVector first = make_data(Kind::kRandom, 150 * 1024);
  const ByteVector second = make_data(Kind::kPrefetchLike, 120 * 1024);
  ByteVector cut = kerf::testing::make_mam_container(second);
  cut.resize(cut.size() / 2);
  xpress_adt decoder;
  ASSERT_TRUE(decoder.decompress(kerf::testing::make_mam_container(first)));
  ASSERT_EQ(decoder.output(), first);
  ASSERT_TRUE(decoder.decompress(cut));
  ASSERT_EQ(decoder.output().size(), second.size());
  const auto decoded =
      std::mismatch(second.begin(), second.end(), decoder.output().begin()).first - second.begin();
  EXPECT_GT(decoded, 0);
  EXPECT_TRUE(zero_from(decoder.output(), static_cast<std::size_t>(decoded) + 1));
  ASSERT_TRUE(decoder.decompress(kerf::testing::make_mem0_container(first)));
  EXPECT_EQ(decoder.output(), first);
  EXPECT_FALSE(decoder.decompress(ByteVector(12, 0)));
  EXPECT_EQ(decoder.declared_size(), 0u);
}

// One block that decodes 16 literals and then a match of nibble 15 whose
// escape runs into the end of the input.
TEST(XpressDamage, LengthEscapePastTheEndFailsTheBlock) {
  const CodeLengths lengths = uniform_lengths({'a', 256 + 15}, 1);
  for (const bool with_escape_byte : {false, true}) {
    SCOPED_TRACE(with_escape_byte);
    XpressBlockWriter writer(lengths);
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

TEST(XpressDamage, FailedBlockKeepsEarlierOutputAndZerosAfter) {
  const ByteVector first_data = make_data(Kind::kRandom, 65536);
  kerf::testing::HuffmanEncodeOptions literals;
  literals.literals_only = true;
  const ByteVector first_block = kerf::testing::xpress_huffman_blocks(first_data, literals).at(0);

  struct Case {
    const char* name;
    CodeLengths lengths;
    std::function<void(XpressBlockWriter&)> write;
    std::string good;        // what the failing block decodes before it fails
    bool can_follow_block;   // a later block starts 64 KiB in: no offset reaches before that
  };
  const std::uint16_t match_offset3 = 256 + 16 * 1 + 2;    // length 5, offset 2..3
  const std::uint16_t escaped_offset1 = 256 + 15;          // nibble 15, offset 1
  const std::uint16_t match9_offset8 = 256 + 16 * 3 + 6;   // length 9, offset 8..15
  const std::uint16_t match3_offset30 = 256 + 16 * 4 + 0;  // length 3, offset 16..31
  const Case cases[] = {
      {"reference before the start", uniform_lengths({'x', 'y', match_offset3, 0}, 2),
       [&](XpressBlockWriter& w) {
         w.literal('x');
         w.literal('y');
         w.match(5, 3);
       },
       "xy", false},
      // The word-wise copy of the first match writes past its end; those
      // bytes must not survive the failure.
      {"reference before the start after a long copy",
       uniform_lengths({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', match9_offset8, match3_offset30, 0, 1, 2, 3, 4, 5}, 4),
       [&](XpressBlockWriter& w) {
         for (const char ch : std::string("abcdefgh")) w.literal(static_cast<std::uint8_t>(ch));
         w.match(9, 8);
         w.match(3, 30);
       },
       "abcdefghabcdefgha", false},
      {"escaped length word below 15", uniform_lengths({'x', escaped_offset1}, 1),
       [](XpressBlockWriter& w) {
         w.literal('x');
         w.match(14, 1, kerf::testing::LengthEscape::kWord);
       },
       "x", true},
      {"incomplete table", uniform_lengths({'x'}, 1),
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
    // Alone, and as the second block after one that set up a full table.
    for (const bool after_good_block : {false, true}) {
      if (after_good_block && !c.can_follow_block) continue;
      SCOPED_TRACE(after_good_block);
      const std::size_t before = after_good_block ? first_data.size() : 0;
      std::vector<ByteVector> blocks;
      if (after_good_block) blocks.push_back(first_block);
      blocks.push_back(bad_block);
      for (const bool mem0 : {false, true}) {
        const auto declared = static_cast<std::uint32_t>(before + 1000);
        const Decoded decoded = decode(mem0 ? kerf::testing::mem0_from_blocks(declared, blocks)
                                            : kerf::testing::mam_from_blocks(declared, blocks));
        ASSERT_TRUE(decoded.ok);
        ASSERT_EQ(decoded.output.size(), declared);
        EXPECT_TRUE(std::equal(first_data.begin(), first_data.begin() + static_cast<std::ptrdiff_t>(before),
                               decoded.output.begin()));
        EXPECT_EQ(std::string(decoded.output.begin() + static_cast<std::ptrdiff_t>(before),
                              decoded.output.begin() + static_cast<std::ptrdiff_t>(before + c.good.size())),
                  c.good);
        EXPECT_TRUE(zero_from(decoded.output, before + c.good.size()));
      }
    }
  }
}

TEST(XpressDamage, OverfullTableCountsAsComplete) {
  // Three codes of one bit: 'a' and 'b' fill the table, 'c' never decodes.
  CodeLengths lengths = uniform_lengths({'a', 'b', 'c'}, 1);
  XpressBlockWriter writer(lengths);
  const std::string text = "abbabaaab";
  for (const char ch : text) writer.literal(static_cast<std::uint8_t>(ch));
  EXPECT_THROW(writer.literal('c'), std::invalid_argument);
  const Decoded decoded = decode(kerf::testing::mam_from_blocks(static_cast<std::uint32_t>(text.size()),
                                                                {writer.finish()}));
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(std::string(decoded.output.begin(), decoded.output.end()), text);
}

// --------------------------------------------------------------- match lengths

TEST(XpressMatch, EscapedLengthsKeepTheirFullValue) {
  // 'a', then one match of offset 1 whose length is written as a word.
  const CodeLengths lengths = uniform_lengths({'a', 256 + 15}, 1);
  for (const std::uint32_t word : {15u, 270u, 65532u, 65533u, 65534u, 65535u}) {
    SCOPED_TRACE(word);
    XpressBlockWriter writer(lengths);
    writer.literal('a');
    writer.match(word + 3, 1, kerf::testing::LengthEscape::kWord);
    writer.literal('a');  // past the declared size: never decoded
    const std::uint32_t declared = 1 + word + 3;
    const Decoded decoded = decode(kerf::testing::mam_from_blocks(declared, {writer.finish()}));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.output, ByteVector(declared, 'a'));
  }
}

TEST(XpressMatch, LongMatchEndsTheBlockWhereItEnds) {
  // A match that starts near the end of the first block's 64 KiB and runs
  // 65538 bytes: the next block starts after it.
  const ByteVector head = make_data(Kind::kRandom, 65000);
  ByteVector data = head;
  data.insert(data.end(), 65538 + 40, 0x5A);
  const ByteVector tail = make_data(Kind::kRandom, 3000);
  data.insert(data.end(), tail.begin(), tail.end());
  kerf::testing::HuffmanEncodeStats stats;
  const Decoded decoded = decode(kerf::testing::make_mam_container(data, {}, &stats));
  EXPECT_GT(stats.crossing_matches, 0u);
  ASSERT_TRUE(decoded.ok);
  EXPECT_TRUE(decoded.output == data);
}

// ------------------------------------------------------------- real files

TEST(XpressCorpus, Windows10FilesDecodeToVersion30Images) {
  const auto dir = kerf::testing::corpus_dir();
  if (!dir) GTEST_SKIP() << "no corpus";
  struct Case {
    const char* file;
    const char* exe;
    const char* last_loaded;
  };
  const Case cases[] = {
      {"Win10/CALC.EXE-3FBEF7FD.pf", "CALC.EXE", "\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\$MFT"},
      {"Win10/CHROME.EXE-B3BA7868.pf", "CHROME.EXE",
       "\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\FONTS\\ARIALI.TTF"},
      {"Win10/CMD.EXE-D269B812.pf", "CMD.EXE", "\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\NTDLL.DLL"},
  };
  const auto utf16 = [](const std::string& text) {
    ByteVector out;
    for (const char c : text) out.insert(out.end(), {static_cast<std::uint8_t>(c), 0});
    return out;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::filesystem::path path = std::filesystem::path(*dir) / c.file;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const ByteVector file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(xpress_adt::detect_container(file).kind, xpress_adt::kMam);
    const Decoded decoded = decode(file);
    ASSERT_TRUE(decoded.ok);
    const ByteVector& image = decoded.output;
    ASSERT_GT(image.size(), 100u);
    EXPECT_EQ(image[0], 30);
    EXPECT_EQ(std::string(image.begin() + 4, image.begin() + 8), "SCCA");
    std::uint32_t size_field = 0;
    std::memcpy(&size_field, image.data() + 12, 4);
    EXPECT_EQ(size_field, image.size());
    const ByteVector exe = utf16(c.exe);
    EXPECT_TRUE(std::equal(exe.begin(), exe.end(), image.begin() + 16));
    const ByteVector last = utf16(c.last_loaded);
    EXPECT_NE(std::search(image.begin(), image.end(), last.begin(), last.end()), image.end());
  }
}

}  // namespace
