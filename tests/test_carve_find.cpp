// Carved hits: a Prefetch file in every version and container is found
// whole among other bytes with the facts its own decode gives, one cut
// short is decoded as far as it goes with what lies past the cut left out,
// and a header that does not hang together is no find.
#include "prefetch/carved_find.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "prefetch/parser.h"
#include "testkit/prefetch_image_builder.h"
#include "testkit/xpress_encoder.h"

namespace {

using kerf::Find;
using kerf::FindDecoder;
using kerf::FindKind;
using kerf::PrefetchRecord;
using kerf::testing::PrefetchImageBuilder;
using Bytes = std::vector<std::uint8_t>;
namespace kit = kerf::testing;

Bytes random_bytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// A file with many loaded files, so that its name section and volumes lie
// well past the header, and compress to several Huffman blocks.
Bytes made_image(std::uint32_t version) {
  std::vector<std::wstring> names;
  for (int i = 0; i < 900; ++i) names.push_back(L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\SYSTEM32\\F" + std::to_wstring(i * 7919) + L".DLL");
  names.push_back(L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\CMD.EXE");
  return PrefetchImageBuilder(version)
      .exe_name(L"CMD.EXE")
      .run_times({132971962938281250ull, 132971962000000000ull})
      .run_count(2)
      .file_names(names)
      .add_volume({L"\\VOLUME{01d1217a9c4c6779-1234abcd}", 0x1234abcd, 0x01d1217a9c4c6779ull,
                   {L"\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS"}})
      .build();
}

struct Stored {
  const char* name;
  std::function<Bytes(const Bytes&)> store;
  bool exact_length;  // the find's length is the stored length to the byte
};

const Stored kContainers[] = {
    {"plain", [](const Bytes& image) { return image; }, true},
    {"MAM", [](const Bytes& image) { return kit::make_mam_container(image); }, false},
    {"MAM with CRC", [](const Bytes& image) { return kit::with_mam_checksum(kit::make_mam_container(image)); }, true},
    {"MEM0", [](const Bytes& image) { return kit::make_mem0_container(image); }, false},
    {"MAM LZ77", [](const Bytes& image) { return kit::make_mam_lz77_container(image); }, false},
};

// The facts a layout shows, decoded from the file itself.
void expect_same_facts(const PrefetchRecord& carved, const PrefetchRecord& loose) {
  EXPECT_EQ(carved.format_version, loose.format_version);
  EXPECT_EQ(carved.exe_name, loose.exe_name);
  EXPECT_EQ(carved.run_count, loose.run_count);
  EXPECT_EQ(carved.last_run_time, loose.last_run_time);
  EXPECT_EQ(carved.previous_run_times, loose.previous_run_times);
  EXPECT_EQ(carved.app_path, loose.app_path);
  EXPECT_EQ(carved.loaded_files.size(), loose.loaded_files.size());
  EXPECT_EQ(carved.volumes.size(), loose.volumes.size());
}

TEST(CarvedFinds, EveryVersionAndContainerIsFoundWholeAmongOtherBytes) {
  for (const std::uint32_t version : {17u, 23u, 26u, 30u, 31u}) {
    const Bytes image = made_image(version);
    PrefetchRecord loose;
    ASSERT_EQ(kerf::parse_prefetch_image(image, loose), kerf::ParseResult::ok);
    for (const Stored& container : kContainers) {
      SCOPED_TRACE(std::to_string(version) + " " + container.name);
      const Bytes stored = container.store(image);
      Bytes stream = stored;
      const Bytes after = random_bytes(70000, version);
      stream.insert(stream.end(), after.begin(), after.end());
      const std::uint64_t wanted = FindDecoder::bytes_wanted(std::span(stream).first(FindDecoder::kHeadBytes));
      ASSERT_GE(wanted, stored.size());
      FindDecoder decoder;
      PrefetchRecord carved;
      const Find find = decoder.decode(std::span(stream).first(std::min<std::size_t>(wanted, stream.size())), carved);
      ASSERT_EQ(find.kind, FindKind::whole);
      if (container.exact_length) {
        EXPECT_EQ(find.length, stored.size());
      } else {
        EXPECT_LE(find.length, stored.size() + 4);
        EXPECT_GE(find.length + 4, stored.size());
      }
      EXPECT_FALSE(carved.cut);
      EXPECT_TRUE(std::equal(decoder.image().begin(), decoder.image().end(), image.begin(), image.end()));
      expect_same_facts(carved, loose);
      EXPECT_EQ(carved.checksum_matches, std::string(container.name) == "MAM with CRC");
    }
  }
}

// Cut at a byte, the sections wholly before the cut are read, those that
// reach past it are left out and marked, and the header alone still gives
// the run times.
TEST(CarvedFinds, AFindCutShortKeepsOnlyWhatItReadWhole) {
  const Bytes image = made_image(30);
  const std::uint32_t names_end = kit::image_u32(image, 100) + kit::image_u32(image, 104);
  const std::uint32_t volumes_end = kit::image_u32(image, 108) + kit::image_u32(image, 116);
  ASSERT_LT(names_end, volumes_end);
  struct Row {
    std::size_t cut;
    FindKind kind;
    bool files_cut, volumes_cut;
  };
  for (const Row row : {Row{227, FindKind::none, true, true}, Row{228, FindKind::partial, true, true},
                        Row{names_end - 1, FindKind::partial, true, true}, Row{names_end, FindKind::partial, false, true},
                        Row{volumes_end - 1, FindKind::partial, false, true}, Row{image.size(), FindKind::whole, false, false}}) {
    SCOPED_TRACE(row.cut);
    FindDecoder decoder;
    PrefetchRecord carved;
    const Find find = decoder.decode(std::span(image).first(row.cut), carved);
    ASSERT_EQ(find.kind, row.kind);
    if (row.kind == FindKind::none) continue;
    EXPECT_EQ(carved.run_count, 2u);
    EXPECT_EQ(carved.last_run_time, 132971962938281250ull);
    ASSERT_EQ(carved.cut.has_value(), row.kind == FindKind::partial);
    if (!carved.cut) continue;
    EXPECT_EQ(carved.cut->read, row.cut);
    EXPECT_EQ(carved.cut->declared, image.size());
    EXPECT_EQ(carved.cut->loaded_files, row.files_cut);
    EXPECT_EQ(carved.cut->volumes, row.volumes_cut);
    EXPECT_EQ(carved.loaded_files.empty(), row.files_cut);
    EXPECT_TRUE(carved.volumes.empty());
  }
}

// A header whose later clusters were reused: the sections that hold other
// data are left out, as if cut off, and the find says it was overwritten.
TEST(CarvedFinds, SectionsOverwrittenAfterTheHeaderAreLeftOut) {
  const Bytes image = made_image(23);
  const std::uint32_t names = kit::image_u32(image, 100), volumes = kit::image_u32(image, 108);
  struct Row {
    const char* what;
    std::uint32_t from, to;
    bool files_cut, volumes_cut;
  };
  for (const Row row : {Row{"names zeroed", names, names + 400, true, false},
                        Row{"volumes overwritten", volumes, static_cast<std::uint32_t>(image.size()), false, true}}) {
    SCOPED_TRACE(row.what);
    Bytes overwritten = image;
    const Bytes other = random_bytes(row.to - row.from, 3);
    if (std::string(row.what) == "names zeroed") {
      std::fill(overwritten.begin() + row.from, overwritten.begin() + row.to, 0);
    } else {
      std::copy(other.begin(), other.end(), overwritten.begin() + row.from);
    }
    FindDecoder decoder;
    PrefetchRecord carved;
    ASSERT_EQ(decoder.decode(overwritten, carved).kind, FindKind::partial);
    ASSERT_TRUE(carved.cut);
    EXPECT_TRUE(carved.cut->overwritten);
    EXPECT_EQ(carved.cut->read, image.size());
    EXPECT_EQ(carved.cut->loaded_files, row.files_cut);
    EXPECT_EQ(carved.cut->volumes, row.volumes_cut);
    EXPECT_EQ(carved.loaded_files.empty(), row.files_cut);
    EXPECT_EQ(carved.volumes.empty(), row.volumes_cut);
    EXPECT_EQ(carved.run_count, 2u);
    EXPECT_EQ(carved.app_path, row.files_cut ? "CMD.EXE" : "\\VOLUME{01d1217a9c4c6779-1234abcd}\\WINDOWS\\CMD.EXE");
  }
}

// Compressed data that ends early gives the output the input really holds:
// never the bytes decoded from the zeros read past its end.
TEST(CarvedFinds, CompressedDataCutShortIsTrustedOnlyAsFarAsItGoes) {
  const Bytes image = made_image(30);
  for (const Stored& container : kContainers) {
    if (std::string(container.name) == "plain") continue;
    SCOPED_TRACE(container.name);
    const Bytes stored = container.store(image);
    for (const std::size_t cut : {stored.size() / 2, stored.size() - 40, std::size_t{1000}}) {
      FindDecoder decoder;
      PrefetchRecord carved;
      const Find find = decoder.decode(std::span(stored).first(cut), carved);
      ASSERT_EQ(find.kind, FindKind::partial) << cut;
      ASSERT_TRUE(carved.cut);
      EXPECT_LT(carved.cut->read, image.size());
      EXPECT_TRUE(std::equal(decoder.image().begin(), decoder.image().end(), image.begin())) << cut;
      EXPECT_EQ(decoder.image().size(), carved.cut->read);
    }
  }
}

// A header that does not hang together is no find, whatever its signature.
TEST(CarvedFinds, HeadersThatDoNotHangTogetherAreNoFinds) {
  const Bytes image = made_image(26);
  const std::uint32_t size = static_cast<std::uint32_t>(image.size());
  struct Row {
    const char* what;
    std::uint64_t offset;
    std::uint32_t value;
    bool plain_too;  // a plain image declaring more than is there is only cut short
  };
  for (const Row row : {Row{"an unknown version", 0, 24, true}, Row{"no signature", 4, 0x42434353, true},
                        Row{"a size not the container's", 12, size + 8, false},
                        Row{"a size below a header", 12, 200, true}, Row{"metrics past the end", 84, size - 8, true},
                        Row{"trace chains past the end", 96, 1u << 20, true}, Row{"names past the end", 104, size, true},
                        Row{"volumes past the end", 116, size, true},
                        Row{"more volumes than their bytes hold", 112, 50, true}}) {
    SCOPED_TRACE(row.what);
    Bytes damaged = image;
    for (unsigned i = 0; i < 4; ++i) damaged[row.offset + i] = static_cast<std::uint8_t>(row.value >> (8 * i));
    FindDecoder decoder;
    PrefetchRecord carved;
    if (row.plain_too) {
      EXPECT_EQ(decoder.decode(damaged, carved).kind, FindKind::none);
    }
    // The same header in a container is turned away after its first bytes.
    EXPECT_EQ(decoder.decode(kit::make_mam_container(damaged), carved).kind, FindKind::none);
  }
  // Random bytes behind every signature.
  for (const char* signature : {"MAM\x04", "MEM0", "MAM\x83"}) {
    Bytes noise = random_bytes(300000, 7);
    std::copy(signature, signature + 4, noise.begin());
    FindDecoder decoder;
    PrefetchRecord carved;
    EXPECT_EQ(decoder.decode(noise, carved).kind, FindKind::none) << signature;
  }
}

}  // namespace
