// Decoder for the compressed containers of Prefetch files (codec/container.h).
//
// Construct, decompress(), read output(). A decoder may be reused for the
// next input: decompress() starts afresh and keeps its buffers' capacity.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codec/container.h"
#include "lib/io/byte_reader.h"

namespace kerf::codec {

// What undoing a container came to.
enum class DecodeStatus {
  not_compressed,  // no container starts the input: it is used as it is
  ok,              // the whole declared size decoded
  too_large,       // the header declares more than any Prefetch file holds
  unknown_method,  // a "MAM" header names a method this decoder does not know
  damaged,         // data that does not decode stopped it before the declared size
  ends_early,      // the compressed data ran out before the declared size
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::not_compressed;
  Container container;  // what the header says
  // Whether the container's checksum held; nothing when it carries none, or
  // when the container was refused before its data was looked at.
  std::optional<bool> checksum_matches;
};

class XpressDecoder {
 public:
  // The most a declared size may say. A plain file is read to at most 16 MiB,
  // so a container claiming more is hostile or damaged, and its output buffer
  // is never allocated.
  static constexpr std::uint32_t kMaxDeclaredSize = 16u * 1024u * 1024u;

  // Undoes the container at the start of `input` into output(). After ok,
  // damaged or ends_early output() holds the declared size, and output that
  // stops short is followed by zeros; otherwise it is empty. A file whose
  // checksum does not hold is still decoded.
  DecodeResult decompress(std::span<const std::uint8_t> input);
  // The same, stopping once `most` bytes of output are made: the output is
  // then the first `most` bytes of the whole, and the status ok when they
  // were all made. A carved candidate's header is checked this way before
  // megabytes of what may be noise are decoded. The LZ77 container, at most
  // 64 KiB, is always decoded whole.
  DecodeResult decompress(std::span<const std::uint8_t> input, std::uint32_t most);

  // After a decompress(): the input bytes the compressed data took, header
  // included (a stream's last word may reach up to 4 bytes past its true
  // end, as the bit reader loads ahead), and the bytes of output it made.
  // Past the end of the input a Huffman stream reads zero bits, so output
  // made near the end of a stream cut short may have come from them.
  std::uint64_t consumed() const noexcept { return m_consumed; }
  std::uint32_t produced() const noexcept { return m_out_pos; }

  const std::vector<std::uint8_t>& output() const noexcept { return m_output; }
  std::vector<std::uint8_t>& output() noexcept { return m_output; }

 private:
  DecodeStatus decode(const io::ByteReader& input, const Container& container);
  // False when a block that does not decode stopped the output.
  bool decode_huffman_blocks(const io::ByteReader& input, const Container& container);
  bool build_decode_table(const io::ByteReader& block);
  // How a Huffman block ended: its output complete (or the input all read),
  // at a symbol that does not decode, or where the input ran out.
  enum class BlockEnd { done, damaged, ran_out };
  BlockEnd decode_huffman_block(const io::ByteReader& block, std::uint64_t& consumed);
  static BlockEnd stopped_at(std::uint64_t position, std::uint64_t block_size) noexcept;
  bool decode_lz77_block(const io::ByteReader& input);
  std::uint64_t decode_lz77_stream(const io::ByteReader& data, std::uint64_t end);
  // Zeros the output from `position` to its end.
  void zero_output_from(std::uint32_t position) noexcept;

  std::uint32_t m_declared_size = 0;
  std::vector<std::uint16_t> m_decode_table;
  std::vector<std::uint8_t> m_output;
  std::uint32_t m_out_pos = 0;
  std::uint64_t m_consumed = 0;
  // Decoding stopped because the input ran out (a read past its end), not
  // because the data made no sense.
  bool m_ran_out = false;
};

// Whether the CRC32 a checksummed "MAM" container carries holds for
// `stored`, the container's bytes exactly (header and data).
bool checksum_holds(std::span<const std::uint8_t> stored, const Container& container);

}  // namespace kerf::codec
