// The container decoder against streams written by the test encoder and by
// hand: round trips, container headers, checksums and damaged streams; and
// the loader, which undoes the containers of the files it reads.
#include "codec/xpress_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "codec/crc32.h"
#include "prefetch/loader.h"
#include "sources/host_file.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"
#include "testkit/xpress_encoder.h"

namespace {

using namespace kerf::testing;
using kerf::codec::XpressDecoder;
using Status = kerf::codec::DecodeStatus;

struct Decoded {
  Status status = Status::not_compressed;
  ByteVector output;
};

Decoded decode(const ByteVector& input) {
  XpressDecoder decoder;
  const Status status = decoder.decompress(input).status;
  return {status, decoder.output()};
}

// Data of three shapes, `size` bytes each: no repeats; a long run of zeros
// (longer than one match can copy) and then more data; and a Prefetch image
// with many names, paths that share long prefixes.
std::vector<ByteVector> shapes(std::size_t size) {
  std::mt19937 rng(7);
  ByteVector random(size);
  for (std::uint8_t& byte : random) byte = static_cast<std::uint8_t>(rng());
  std::vector<std::wstring> names;
  for (std::size_t i = 0; 150 * i < size; ++i) {
    names.push_back(L"\\VOLUME{01d1217a9c4c6779-8c9f49ec}\\WINDOWS\\SYSTEM32\\" + std::to_wstring(rng() % 100000) +
                    L".DLL");
  }
  const ByteVector image = PrefetchImageBuilder(30).file_names(names).resize(size).build();
  ByteVector zeros(size, 0);
  std::copy_n(image.begin(), size / 16, zeros.end() - static_cast<std::ptrdiff_t>(size / 16));
  return {random, zeros, image};
}

// A 13-byte input: four signature bytes, a declared size, padding.
ByteVector header(std::string_view magic, std::uint32_t size) {
  ByteVector out(magic.begin(), magic.end());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  out.resize(13, 0);
  return out;
}

// Every container gives back what was put in, whole. At 200 KiB the data
// reaches every way of writing a match: escape bytes, escape words, Huffman
// matches running on into the next block and LZ77 lengths of 32 bits. The
// LZ77 container holds one block, stored or compressed, and gives back its
// declared pages.
TEST(XpressRoundTrip, EveryContainerGivesBackTheData) {
  for (const std::size_t size : {1u, 5000u, 65535u, 65536u, 65537u, 200u * 1024}) {
    for (const ByteVector& data : shapes(size)) {
      SCOPED_TRACE(::testing::Message() << "size " << size << ", first byte " << int{data[0]});
      for (const ByteVector& container : {make_mam_container(data),
                                          make_mem0_container(data),
                                          make_mam_lz77_container(data)}) {
        const Decoded decoded = decode(container);
        EXPECT_EQ(decoded.status, Status::ok);
        EXPECT_TRUE(decoded.output == data);
      }
      if (size > 65536) {
        EXPECT_EQ(decode(make_lz77_container(data)).status, Status::damaged);  // more pages than one block holds
        continue;
      }
      for (const Lz77Storage storage : {Lz77Storage::kCompressed, Lz77Storage::kStoredDeclaredSize, Lz77Storage::kStored64K}) {
        const Decoded decoded = decode(make_lz77_container(data, storage));
        EXPECT_EQ(decoded.status, Status::ok) << static_cast<int>(storage);
        // Cut to the declared pages even when the block held 64 KiB.
        EXPECT_TRUE(decoded.output == lz77_expected_output(data)) << static_cast<int>(storage);
      }
    }
  }
  // A stream that runs on past its declared size stops there, in the middle
  // of the long match.
  const ByteVector long_run = shapes(200 * 1024)[1];
  ByteVector cut = make_mam_lz77_container(long_run);
  cut[5] = 0x80;  // 32 KiB
  cut[6] = 0;
  EXPECT_TRUE(decode(cut).output == ByteVector(long_run.begin(), long_run.begin() + 32 * 1024));
}

// A block of literals only: every byte value gets a code of 8 bits.
ByteVector literal_block(const ByteVector& data) {
  CodeLengths lengths{};
  std::fill_n(lengths.begin(), 256, 8);
  XpressBlockWriter writer(lengths);
  for (const std::uint8_t byte : data) writer.literal(byte);
  return writer.finish();
}

// The reader loads 32 bits ahead of what it decodes, so a stream's last
// symbols may stand in bytes it has loaded while its position is already at
// the end of the input: Windows writes no padding after them. A stream that
// stops short of its declared size ends early, and says so.
TEST(XpressEnd, LastSymbolsInTheLookAheadDecodeAndAShortStreamEndsEarly) {
  for (const ByteVector& data : shapes(5000)) {
    SCOPED_TRACE(int{data[0]});
    ByteVector container = make_mam_container(data);
    container.resize(container.size() - 2);  // the closing zero word the test encoder adds
    Decoded decoded = decode(container);
    EXPECT_EQ(decoded.status, Status::ok);
    EXPECT_TRUE(decoded.output == data);
    container.resize(container.size() / 2);
    decoded = decode(container);
    EXPECT_NE(decoded.status, Status::ok);
    EXPECT_EQ(decoded.output.size(), data.size());
  }
  const ByteVector data = shapes(65536)[0];
  ByteVector expected = data;
  expected.resize(65536 + 1000, 0);
  const Decoded decoded = decode(mam_from_blocks(65536 + 1000, {literal_block(data)}));
  EXPECT_EQ(decoded.status, Status::ends_early);
  EXPECT_TRUE(decoded.output == expected);
}

// What a header says, and what the decoder makes of it: a size above
// 16 MiB or a method it does not know is refused before anything is
// allocated, the method first. (The round trips and checksums show the other
// methods and flags.)
TEST(XpressContainer, DetectsHeadersAndRefusesWithoutAllocating) {
  using kerf::codec::ContainerKind;
  constexpr std::uint32_t kMax = XpressDecoder::kMaxDeclaredSize;
  struct Case {
    ByteVector input;
    ContainerKind kind;
    std::uint32_t declared;
    std::uint8_t method;
    Status status;
  };
  const Case cases[] = {
      {header("MAM\x02", 100), ContainerKind::mam, 100, 2, Status::unknown_method},
      {header("MAM\x05", 0xFFFFFFFF), ContainerKind::mam, 0xFFFFFFFF, 5, Status::unknown_method},
      {header("MAM\x04", 0), ContainerKind::none, 0, 0, Status::not_compressed},
      {ByteVector{'M', 'A', 'M', 4, 100, 0, 0, 0, 0, 0, 0, 0}, ContainerKind::none, 0, 0, Status::not_compressed},
      {header("MEM1", 100), ContainerKind::none, 0, 0, Status::not_compressed},
      {header("MEM0", kMax), ContainerKind::mem0, kMax, 4, Status::ends_early},
      {header("MEM0", kMax + 1), ContainerKind::mem0, kMax + 1, 4, Status::too_large},
      {header("MAM\x04", 0xFFFFFFFF), ContainerKind::mam, 0xFFFFFFFF, 4, Status::too_large},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::string(c.input.begin(), c.input.begin() + 3) << int{c.input[3]} << " "
                                      << c.declared);
    XpressDecoder decoder;
    const kerf::codec::DecodeResult result = decoder.decompress(c.input);
    EXPECT_EQ(result.container.kind, c.kind);
    EXPECT_EQ(result.container.declared_size, c.declared);
    EXPECT_EQ(result.container.method, c.method);
    EXPECT_EQ(result.status, c.status);
    const bool decodes = c.status == Status::ends_early;
    EXPECT_EQ(decodes ? decoder.output().size() : decoder.output().capacity(), decodes ? c.declared : 0u);
  }
}

// The top bit of the fourth header byte puts a CRC32 of the file behind the
// declared size; it covers the header too. A file whose checksum fails is
// still decoded.
TEST(XpressContainer, ChecksumMovesTheDataAndIsChecked) {
  // The test encoder sums with the decoder's own CRC32: it must give the
  // standard check value.
  const std::string check = "123456789";
  EXPECT_EQ(kerf::codec::crc32(ByteVector(check.begin(), check.end())), 0xCBF43926u);
  const ByteVector data = shapes(100 * 1024)[2];
  for (const ByteVector& plain : {make_mam_container(data), make_mam_lz77_container(data)}) {
    SCOPED_TRACE(int{plain[3]});
    XpressDecoder decoder;
    EXPECT_EQ(decoder.decompress(plain).checksum_matches, std::nullopt);
    // A bit changed in no byte, in the checksum, in the header byte (one that
    // names neither the method nor the checksum), and in the data.
    const ByteVector checked = with_mam_checksum(plain);
    for (const std::size_t at : {std::size_t{0}, std::size_t{9}, std::size_t{3}, checked.size() / 2}) {
      SCOPED_TRACE(at);
      ByteVector input = checked;
      input[at] = static_cast<std::uint8_t>(input[at] ^ (at == 0 ? 0 : 0x10));
      EXPECT_EQ(decoder.decompress(input).checksum_matches, at == 0);
      EXPECT_TRUE(at >= 12 || decoder.output() == data);  // still decoded, unless the data changed
    }
  }
}

// One decoder serves a whole bulk run: bytes an earlier, longer output left in
// its buffer must never show through a later file's damaged tail, nor stand
// as the output of a file that was refused.
TEST(XpressDamage, ReusedDecoderGivesWhatAFreshOneGives) {
  const ByteVector first = shapes(150 * 1024)[0];
  ByteVector cut = make_mam_container(shapes(120 * 1024)[2]);
  cut.resize(cut.size() / 2);
  XpressDecoder decoder;
  ASSERT_EQ(decoder.decompress(make_mam_container(first)).status, Status::ok);
  EXPECT_NE(decoder.decompress(cut).status, Status::ok);
  EXPECT_TRUE(decoder.output() == decode(cut).output);
  ASSERT_EQ(decoder.decompress(make_mem0_container(first)).status, Status::ok);
  EXPECT_TRUE(decoder.output() == first);
  EXPECT_EQ(decoder.decompress(header("MAM\x05", 100)).status, Status::unknown_method);
  EXPECT_TRUE(decoder.output().empty());
}

TEST(XpressDamage, Lz77StopsAtMissingBytesAndAtReferencesBeforeTheStart) {
  // A stored block whose last bytes are missing keeps the bytes present.
  const ByteVector data = shapes(4096)[0];
  ByteVector cut = make_lz77_container(data, Lz77Storage::kStoredDeclaredSize);
  cut.resize(cut.size() - 20);
  ByteVector expected(data.begin(), data.end() - 20);
  expected.resize(4096, 0);
  EXPECT_TRUE(decode(cut).output == expected);

  // Flags: literal 'a', then a match 5 bytes back, before the output starts.
  ByteVector before_start = make_lz77_container(ByteVector(10, 'q'));
  before_start.resize(32);
  before_start.insert(before_start.end(), {0x00, 0x00, 0x00, 0x40, 'a', 4 << 3, 0, 'b', 'c', 'd', 'e', 'f'});
  expected.assign(4096, 0);
  expected[0] = 'a';
  EXPECT_TRUE(decode(before_start).output == expected);
}

// `symbols` codes of one length: they fill the table exactly when there are
// 2^length of them.
CodeLengths uniform_lengths(std::initializer_list<std::uint16_t> symbols, std::uint8_t length) {
  CodeLengths lengths{};
  for (const std::uint16_t s : symbols) lengths[s] = length;
  return lengths;
}

// Hand-made Huffman blocks, alone and after a whole block of 64 KiB, in
// "MAM" and "MEM0" containers: literals, then what `then` writes. A block
// that fails keeps what it decoded before it failed, with zeros after it.
TEST(XpressDamage, HandMadeBlocksDecodeAsFarAsTheyCan) {
  using Write = std::function<void(XpressBlockWriter&)>;
  const std::uint16_t match9_offset8 = 256 + 16 * 3 + 6;   // length 9, offset 8..15
  const std::uint16_t match3_offset30 = 256 + 16 * 4 + 0;  // length 3, offset 16..31
  const std::uint16_t escaped = 256 + 15;                  // length in the byte stream, offset 1
  const CodeLengths a_and_escaped = uniform_lengths({'a', escaped}, 1);
  struct Case {
    const char* what;
    CodeLengths lengths;
    std::string literals;
    Write then;
    std::string good;       // what the block decodes (before it fails)
    bool fails;
    bool cut_end;           // no closing zero word: the last thing written ends the input
    bool can_follow_block;  // a later block starts 64 KiB in: no offset reaches before that
  };
  // One match of offset 1 whose length is written as a word: no 16-bit wrap
  // when 3 is added to it.
  const auto long_match = [&](std::uint32_t word) {
    return Case{"escaped length word", a_and_escaped, "a",
                [word](XpressBlockWriter& w) { w.match(word + 3, 1, LengthEscape::kWord); },
                std::string(word + 4, 'a'), false, false, true};
  };
  const Write nothing = [](XpressBlockWriter&) {};
  const std::string a16(16, 'a');
  // 'a' to 'o' with codes of 1 to 15 bits, and 'p' of 15 bits: a complete code.
  CodeLengths every_length{};
  for (int i = 0; i < 16; ++i) every_length['a' + i] = static_cast<std::uint8_t>(std::min(i + 1, 15));
  const std::string a_to_p = "abcdefghijklmnopponmlkjihgfedcba";
  const Case cases[] = {
      // The word-wise copy of the first match writes past its end; those
      // bytes must not survive the failure.
      {"reference before the start after a long copy",
       uniform_lengths({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', match9_offset8, match3_offset30, 0, 1, 2, 3, 4, 5}, 4),
       "abcdefgh",
       [](XpressBlockWriter& w) {
         w.match(9, 8);
         w.match(3, 30);
       },
       "abcdefghabcdefgha", true, false, false},
      {"escaped length word below 15", uniform_lengths({'x', escaped}, 1), "x",
       [](XpressBlockWriter& w) { w.match(14, 1, LengthEscape::kWord); }, "x", true, false, true},
      {"code lengths not filling the table", uniform_lengths({'x'}, 1), std::string(40, 'x'), nothing, "", true, false,
       true},
      {"codes of every length", every_length, a_to_p, nothing, a_to_p, false, false, true},
      // 'a' and 'b' fill the table, 'c' never decodes.
      {"three codes of one bit", uniform_lengths({'a', 'b', 'c'}, 1), "abbabaaab", nothing, "abbabaaab", false, false,
       true},
      {"escape byte past the end", a_and_escaped, a16, [&](XpressBlockWriter& w) { w.symbol(escaped); }, a16, true, true,
       true},
      {"escape word past the end", a_and_escaped, a16,
       [&](XpressBlockWriter& w) {
         w.symbol(escaped);
         w.extra_byte(255);
       },
       a16, true, true, true},
      long_match(15), long_match(270), long_match(65533), long_match(65535),
  };
  const ByteVector first_data = shapes(65536)[0];
  const ByteVector first_block = literal_block(first_data);
  for (const Case& c : cases) {
    XpressBlockWriter writer(c.lengths);
    for (const char ch : c.literals) writer.literal(static_cast<std::uint8_t>(ch));
    c.then(writer);
    const ByteVector block = writer.finish();
    for (const bool after_first : {false, true}) {
      if (after_first && !c.can_follow_block) continue;
      SCOPED_TRACE(::testing::Message() << c.what << ", " << c.good.size() << " bytes" << (after_first ? ", second" : ""));
      std::vector<ByteVector> blocks{block};
      ByteVector expected(c.good.begin(), c.good.end());
      if (after_first) {
        blocks.insert(blocks.begin(), first_block);
        expected.insert(expected.begin(), first_data.begin(), first_data.end());
      }
      expected.resize(expected.size() + (c.fails ? 1000 : 0), 0);
      const auto declared = static_cast<std::uint32_t>(expected.size());
      for (ByteVector input : {mam_from_blocks(declared, blocks), mem0_from_blocks(declared, blocks)}) {
        if (c.cut_end) input.resize(input.size() - 2);
        const Decoded decoded = decode(input);
        EXPECT_TRUE(decoded.output == expected);
        // A length byte or word cut off by the end is the data ending early.
        EXPECT_EQ(decoded.status, !c.fails ? Status::ok : c.cut_end ? Status::ends_early : Status::damaged);
      }
    }
  }
  // A match that runs on past the declared size is cut there: the copy never
  // writes beyond the output.
  XpressBlockWriter writer(a_and_escaped);
  writer.literal('a');
  writer.match(300, 1, LengthEscape::kWord);
  const Decoded cut = decode(mam_from_blocks(100, {writer.finish()}));
  EXPECT_TRUE(cut.output == ByteVector(100, 'a'));
  EXPECT_EQ(cut.status, Status::ok);
}

// Loading Prefetch files from their source: containers undone (with their
// checksums and methods), the 16 MiB read limit and the message for a file
// compressed in a way kerf does not know. (Files on the host, their times and
// the reasons they fail are what the command-line tests check.)
PrefetchImageBuilder sample_image(std::uint32_t version) {
  PrefetchImageBuilder builder(version);
  builder.exe_name(L"NOTEPAD.EXE").file_names({L"\\VOLUME{1}\\NTDLL.DLL", L"\\VOLUME{1}\\NOTEPAD.EXE"});
  return builder;
}

// One loader for every file, its buffers reused from one kind to the next;
// the size is the file's own. The "MAM" header's fourth byte: a checksum is
// checked and reported, a method the decoder does not know fails the file.
// A container inside the file's container is undone too, one inside that is
// not a Prefetch file.
TEST(Loader, UndoesContainersWithTheirChecksumsAndMethods) {
  using kerf::ContainerKind;
  using kerf::LoadError;
  const ByteVector image = sample_image(30).build();
  ByteVector unknown = make_mam_container(image);
  unknown[3] = 0x85;
  ByteVector big = sample_image(17).build();
  big.resize(20u * 1024 * 1024, 0xEE);  // read up to 16 MiB: the sections lie in the first part
  ByteVector inner_cut = make_mem0_container(image);
  inner_cut.resize(inner_cut.size() / 2);
  struct Case {
    ByteVector bytes;
    LoadError error;
    ContainerKind kind;
    bool checksum_present;
    bool checksum_matches;
  };
  const Case cases[] = {
      {make_mam_container(image), LoadError::none, ContainerKind::mam, false, false},
      {make_mem0_container(image), LoadError::none, ContainerKind::mem0, false, false},
      {big, LoadError::none, ContainerKind::none, false, false},
      {unknown, LoadError::unknown_compression, ContainerKind::none, false, false},
      {with_mam_checksum(make_mam_container(make_lz77_container(image))), LoadError::none, ContainerKind::mam, true,
       true},
      {make_mam_container(inner_cut), LoadError::not_prefetch, ContainerKind::mam, false, false},
      {make_mam_container(make_mam_container(make_mam_container(image))), LoadError::not_prefetch, ContainerKind::mam,
       false, false},
  };
  kerf::PrefetchLoader loader;
  kerf::PrefetchRecord record;
  kerf::testing::TempDir dir;
  const auto load = [&](const ByteVector& bytes) {
    const std::string path = dir.write("f.pf", bytes);
    kerf::HostFile file(path, kerf::io::File::Links::follow, 0, {});
    return loader.load(file, record);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    const kerf::LoadResult result = load(c.bytes);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(record.source.size, c.bytes.size());
    EXPECT_EQ(record.container, c.kind);
    EXPECT_EQ(record.checksum_present, c.checksum_present);
    EXPECT_EQ(record.checksum_matches, c.checksum_matches);
    EXPECT_EQ(record.app_path, result.ok() ? "\\VOLUME{1}\\NOTEPAD.EXE" : "");
  }
  EXPECT_EQ(kerf::describe({kerf::LoadError::unknown_compression}), "compressed by a method kerf does not know");
  // A file whose sections lie past the first 16 MiB does not decode.
  const ByteVector far = sample_image(17).patch_u32(100, 16u * 1024 * 1024 + 2).resize(17u * 1024 * 1024).build();
  EXPECT_EQ(load(far).error, kerf::LoadError::sections_outside);
}

}  // namespace
