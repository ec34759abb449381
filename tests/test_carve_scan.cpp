// The carving signature search against a plain search written from its
// promise, one position at a time: signatures at the edges of the run and of
// the `before` limit (where the fast search switches from blocks of positions
// to single ones), overlapping ones, near misses, and random runs with
// signatures planted in them.
#include "sources/carve/signature_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Starts = std::vector<std::uint64_t>;

bool has(const Bytes& bytes, std::size_t at, std::string_view text) {
  return bytes.size() >= at + text.size() &&
         std::string_view(reinterpret_cast<const char*>(bytes.data()) + at, text.size()) == text;
}

Starts reference(const Bytes& bytes, std::size_t before) {
  Starts starts;
  for (std::size_t p = 0; p < before && p + kerf::kSignatureSpan <= bytes.size(); ++p) {
    if (has(bytes, p + 4, "SCCA") || has(bytes, p, "MAM") || has(bytes, p, "MEM0") || has(bytes, p, "\x81\x81xpress")) {
      starts.push_back(p);
    }
  }
  return starts;
}

Starts found(const Bytes& bytes, std::size_t before) {
  Starts starts{7};  // found positions are appended, not written over
  kerf::find_signatures(bytes, before, starts);
  return Starts(starts.begin() + 1, starts.end());
}

// "SCCA" is planted 4 bytes on, where a plain image holds it, so that every
// row's signature starts where it is planted.
struct Signature {
  std::string_view name;
  std::string_view text;
  std::size_t offset;
};
const Signature kSignatures[] = {
    {"plain", "SCCA", 4}, {"mam", "MAM", 0}, {"mem0", "MEM0", 0}, {"xpress", "\x81\x81xpress", 0}};

Bytes filler(std::size_t size, std::uint8_t byte = '.') { return Bytes(size, byte); }

void plant(Bytes& bytes, std::size_t at, std::string_view text) {
  for (std::size_t i = 0; i < text.size() && at + i < bytes.size(); ++i)
    bytes[at + i] = static_cast<std::uint8_t>(text[i]);
}

// Each signature alone at every start from 0 to 40 and in the last 40 of a
// run, for runs of sizes around the block size, and `before` all the run, just
// past the signature, at it and just before it.
TEST(CarveScan, EachSignatureAtEveryEdgePosition) {
  for (const Signature& signature : kSignatures) {
    for (const std::size_t size : {8u, 9u, 15u, 16u, 17u, 23u, 24u, 31u, 32u, 33u, 47u, 64u, 100u}) {
      for (std::size_t start = 0; start + signature.offset + signature.text.size() <= size; ++start) {
        if (start > 40 && start + 40 < size) continue;
        Bytes bytes = filler(size);
        plant(bytes, start + signature.offset, signature.text);
        for (const std::size_t before : {size, start + 2, start + 1, start, start == 0 ? 0 : start - 1}) {
          SCOPED_TRACE(std::string(signature.name) + " at " + std::to_string(start) + " in " + std::to_string(size) +
                       ", before " + std::to_string(before));
          const Starts expected = start < before && start + 8 <= size ? Starts{start} : Starts{};
          EXPECT_EQ(found(bytes, before), expected);
          EXPECT_EQ(expected, reference(bytes, before));
        }
      }
    }
  }
}

// Runs built by hand: overlaps, near misses, signatures cut by the end of
// the run, and `before` past the run's end.
TEST(CarveScan, HandBuiltRuns) {
  struct Row {
    std::string_view name;
    std::string_view text;  // laid at 20 in 64 bytes of '.'
    std::size_t before;
    Starts expected;
  };
  const Row rows[] = {
      {"overlapping containers", "MAMAMEM0", 64, {20, 22, 24}},
      {"a plain image's signature is also a container's", "MEM0SCCA", 64, {20}},
      {"plain image inside an LZ77 container", "\x81\x81xpressSCCA", 64, {20, 24}},
      {"SCCA twice, four apart", "SCCASCCA", 64, {16, 20}},
      {"near misses", "SCC.MEM1MA.M\x81\x81xpres.\x81\x81Xpress.SCCB.MEMO", 64, {}},
      {"signature straddles before", "....MEM0", 25, {24}},
      {"signature from before on is not reported", "....MEM0", 24, {}},
      {"before far past the end", "MAM", 1000, {20}},
      {"nothing before 0", "MAM", 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes bytes = filler(64);
    plant(bytes, 20, row.text);
    EXPECT_EQ(found(bytes, row.before), row.expected);
    EXPECT_EQ(reference(bytes, row.before), row.expected);
  }
  // A container signature in the last 7 bytes cannot hold a whole signature
  // span; one in runs too short for a span is not looked at.
  Bytes tail = filler(64);
  plant(tail, 57, "MAM");
  EXPECT_EQ(found(tail, 64), Starts{});
  EXPECT_EQ(found(Bytes{'M', 'E', 'M', '0', 'S', 'C', 'C'}, 7), Starts{});
}

// Random runs of bytes, some with many 'M', 'S', 0x81 and other signature
// bytes, with signatures planted at random places (near each other, and at
// the run's ends), against the plain search.
TEST(CarveScan, RandomRunsMatchThePlainSearch) {
  std::mt19937 rng(11);
  const std::string alphabets[] = {"", "MSCAE0\x81xp", "MAMEM0SCCA\x81\x81xpress."};
  for (int round = 0; round < 300; ++round) {
    const std::string& alphabet = alphabets[round % 3];
    Bytes bytes(rng() % 600);
    for (std::uint8_t& byte : bytes) {
      byte = alphabet.empty() ? static_cast<std::uint8_t>(rng())
                              : static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
    }
    for (unsigned k = rng() % 12; k > 0 && !bytes.empty(); --k) {
      const Signature& signature = kSignatures[rng() % 4];
      plant(bytes, rng() % 2 ? rng() % bytes.size() : bytes.size() - rng() % 20 % bytes.size(), signature.text);
    }
    const std::size_t before = rng() % 2 ? bytes.size() : rng() % (bytes.size() + 1);
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_EQ(found(bytes, before), reference(bytes, before));
  }
}

}  // namespace
