#include "tests/support/xpress_encoder.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <queue>
#include <stdexcept>
#include <utility>

#include "tests/support/xpress_match_finder.h"

namespace kerf::testing {

namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr std::uint32_t kTableEntries = 1u << kMaxCodeLength;
constexpr std::uint32_t kBlockOutput = 65536;
constexpr std::size_t kLengthTableBytes = 256;

void append_u32(ByteVector& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Unlimited Huffman code lengths of the used symbols.
std::vector<unsigned> tree_depths(const std::vector<std::uint64_t>& weights) {
  struct Node {
    std::uint64_t weight;
    int parent;
  };
  std::vector<Node> nodes;
  using Item = std::pair<std::uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
  for (const std::uint64_t w : weights) {
    queue.push({w, static_cast<int>(nodes.size())});
    nodes.push_back({w, -1});
  }
  while (queue.size() > 1) {
    const Item a = queue.top();
    queue.pop();
    const Item b = queue.top();
    queue.pop();
    const int parent = static_cast<int>(nodes.size());
    nodes.push_back({a.first + b.first, -1});
    nodes[static_cast<std::size_t>(a.second)].parent = parent;
    nodes[static_cast<std::size_t>(b.second)].parent = parent;
    queue.push({a.first + b.first, parent});
  }
  // Parents come after their children, so one backward pass gives depths.
  std::vector<unsigned> depth(nodes.size(), 0);
  for (std::size_t i = nodes.size(); i-- > 0;) {
    if (nodes[i].parent >= 0) depth[i] = depth[static_cast<std::size_t>(nodes[i].parent)] + 1;
  }
  depth.resize(weights.size());
  return depth;
}

}  // namespace

CodeLengths huffman_code_lengths(const std::array<std::uint32_t, 512>& frequencies) {
  std::vector<std::size_t> used;
  std::vector<std::uint64_t> weights;
  for (std::size_t s = 0; s < frequencies.size(); ++s) {
    if (frequencies[s] != 0) {
      used.push_back(s);
      weights.push_back(frequencies[s]);
    }
  }
  // A single code of length 1 fills half the table: add unused symbols.
  for (std::size_t s = 0; used.size() < 2; ++s) {
    if (frequencies[s] == 0) {
      used.push_back(s);
      weights.push_back(1);
    }
  }

  std::vector<unsigned> length = tree_depths(weights);
  // Limit to 15 bits while keeping the code complete: cap, then lengthen the
  // longest codes below the cap until the lengths fit, then shorten the
  // longest codes while there is room left.
  std::uint64_t kraft = 0;
  for (unsigned& len : length) {
    len = std::min(len, kMaxCodeLength);
    kraft += kTableEntries >> len;
  }
  const auto pick = [&](bool lengthen) {
    std::size_t best = length.size();
    for (std::size_t i = 0; i < length.size(); ++i) {
      const bool allowed = lengthen ? length[i] < kMaxCodeLength
                                    : length[i] > 1 && kraft + (kTableEntries >> length[i]) <= kTableEntries;
      if (!allowed) continue;
      if (best == length.size() || length[i] > length[best] ||
          (length[i] == length[best] && (lengthen ? weights[i] < weights[best] : weights[i] > weights[best]))) {
        best = i;
      }
    }
    return best;
  };
  while (kraft > kTableEntries) {
    const std::size_t i = pick(true);
    kraft -= kTableEntries >> (length[i] + 1);
    ++length[i];
  }
  while (kraft < kTableEntries) {
    const std::size_t i = pick(false);
    if (i == length.size()) throw std::logic_error("code lengths cannot be completed");
    kraft += kTableEntries >> length[i];
    --length[i];
  }

  CodeLengths lengths{};
  for (std::size_t i = 0; i < used.size(); ++i) lengths[used[i]] = static_cast<std::uint8_t>(length[i]);
  return lengths;
}

XpressBlockWriter::XpressBlockWriter(const CodeLengths& lengths) : m_lengths(lengths) {
  m_bytes.assign(kLengthTableBytes + 4, 0);
  for (std::size_t i = 0; i < kLengthTableBytes; ++i) {
    if (lengths[2 * i] > 15 || lengths[2 * i + 1] > 15) throw std::invalid_argument("code length above 15");
    m_bytes[i] = static_cast<std::uint8_t>(lengths[2 * i] | (lengths[2 * i + 1] << 4));
  }
  // Canonical codes, in the order a decoder fills its table.
  std::uint32_t next = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != len) continue;
      const std::uint32_t span = kTableEntries >> len;
      if (next + span > kTableEntries) continue;  // over-full: never decoded
      m_codes[s] = static_cast<std::uint16_t>(next >> (kMaxCodeLength - len));
      m_has_code[s] = true;
      next += span;
    }
  }
  m_slots = {kLengthTableBytes, kLengthTableBytes + 2};
}

void XpressBlockWriter::put_word(std::size_t at, std::uint16_t word) {
  m_bytes[at] = static_cast<std::uint8_t>(word);
  m_bytes[at + 1] = static_cast<std::uint8_t>(word >> 8);
}

void XpressBlockWriter::bits(std::uint32_t value, unsigned count) {
  if (count > 16) throw std::invalid_argument("at most 16 bits at a time");
  if (count == 0) return;
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
  if (symbol >= 512 || !m_has_code[symbol]) throw std::invalid_argument("symbol has no code in this block");
  bits(m_codes[symbol], m_lengths[symbol]);
}

void XpressBlockWriter::extra_byte(std::uint8_t byte) { m_bytes.push_back(byte); }

void XpressBlockWriter::extra_word(std::uint16_t word) {
  m_bytes.push_back(static_cast<std::uint8_t>(word));
  m_bytes.push_back(static_cast<std::uint8_t>(word >> 8));
}

LengthForm XpressBlockWriter::match(std::uint32_t length, std::uint32_t offset, LengthEscape escape) {
  if (length < 3 || length > kHuffmanMaxMatch || offset == 0 || offset > kHuffmanMaxOffset) {
    throw std::invalid_argument("match out of range");
  }
  const std::uint32_t stored = length - 3;
  const unsigned offset_bits = static_cast<unsigned>(std::bit_width(offset)) - 1;
  LengthForm form = LengthForm::kWord;
  if (escape == LengthEscape::kShortest && stored < 15) {
    form = LengthForm::kNibble;
  } else if (escape == LengthEscape::kShortest && stored - 15 < 255) {
    form = LengthForm::kByte;
  }
  const std::uint32_t nibble = form == LengthForm::kNibble ? stored : 15;
  symbol(static_cast<std::uint16_t>(256 + 16 * offset_bits + nibble));
  if (form == LengthForm::kByte) extra_byte(static_cast<std::uint8_t>(stored - 15));
  if (form == LengthForm::kWord) {
    extra_byte(255);
    extra_word(static_cast<std::uint16_t>(stored));
  }
  bits(offset - (1u << offset_bits), offset_bits);
  return form;
}

ByteVector XpressBlockWriter::finish() {
  put_word(m_slots[0], static_cast<std::uint16_t>(m_pending << (16 - m_pending_count)));
  m_pending = 0;
  m_pending_count = 0;
  return m_bytes;
}

std::vector<ByteVector> xpress_huffman_blocks(std::span<const std::uint8_t> data, const HuffmanEncodeOptions& options,
                                              HuffmanEncodeStats* stats) {
  MatchLimits limits;
  limits.max_offset = kHuffmanMaxOffset;
  limits.max_length = std::min(options.max_match_length, kHuffmanMaxMatch);
  limits.max_chain = options.max_chain;
  limits.segment = options.matches_cross_blocks ? 0 : kBlockOutput;
  limits.literals_only = options.literals_only;
  const std::vector<LzToken> tokens = greedy_parse(data, limits);

  HuffmanEncodeStats counts;
  std::vector<ByteVector> blocks;
  // A block ends once it has produced 65536 bytes; a match that crosses that
  // point ends it where the match ends.
  std::size_t first = 0;
  while (first < tokens.size()) {
    std::size_t last = first;
    std::uint64_t produced = 0;
    std::array<std::uint32_t, 512> frequencies{};
    while (last < tokens.size() && produced < kBlockOutput) {
      const LzToken& t = tokens[last++];
      if (t.length == 0) {
        ++frequencies[t.literal];
        produced += 1;
      } else {
        const std::uint32_t nibble = std::min<std::uint32_t>(t.length - 3, 15);
        ++frequencies[256 + 16 * (std::bit_width(t.offset) - 1) + nibble];
        produced += t.length;
      }
    }
    if (produced > kBlockOutput) ++counts.crossing_matches;

    XpressBlockWriter writer(huffman_code_lengths(frequencies));
    for (std::size_t i = first; i < last; ++i) {
      const LzToken& t = tokens[i];
      if (t.length == 0) {
        writer.literal(t.literal);
        ++counts.literals;
        continue;
      }
      const LengthEscape escape = t.length >= 18 ? options.escape : LengthEscape::kShortest;
      const LengthForm form = writer.match(t.length, t.offset, escape);
      ++counts.matches;
      if (form == LengthForm::kByte) ++counts.byte_escapes;
      if (form == LengthForm::kWord) ++counts.word_escapes;
    }
    blocks.push_back(writer.finish());
    first = last;
  }
  counts.blocks = blocks.size();
  if (stats != nullptr) *stats = counts;
  return blocks;
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

ByteVector make_mam_container(std::span<const std::uint8_t> data, const HuffmanEncodeOptions& options,
                              HuffmanEncodeStats* stats) {
  return mam_from_blocks(static_cast<std::uint32_t>(data.size()), xpress_huffman_blocks(data, options, stats));
}

ByteVector make_mem0_container(std::span<const std::uint8_t> data, const HuffmanEncodeOptions& options,
                               HuffmanEncodeStats* stats) {
  return mem0_from_blocks(static_cast<std::uint32_t>(data.size()), xpress_huffman_blocks(data, options, stats));
}

}  // namespace kerf::testing
