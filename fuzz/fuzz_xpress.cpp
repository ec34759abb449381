// Feeds arbitrary bytes to the container decoder: as they are, and, when
// they are no container, behind "MAM" headers so that the Huffman block
// decoder and the plain LZ77 stream decoder see them too. A success must
// hold exactly the declared size.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "prefetch/xpress_decoder.h"

namespace {

void decode_and_check(std::span<const std::uint8_t> input) {
  kerf::XpressDecoder decoder;
  const kerf::XpressDecoder::Container container = kerf::XpressDecoder::detect_container(input);
  const bool ok = decoder.decompress(input);
  if (ok && decoder.output().size() != container.declared_size) std::abort();
  if (ok && container.kind == kerf::ContainerKind::none) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  decode_and_check(input);
  if (kerf::XpressDecoder::detect_container(input).kind == kerf::ContainerKind::none) {
    // Room for a stream that expands a lot, without a 16 MiB buffer per run.
    const std::uint32_t declared = static_cast<std::uint32_t>(std::min<std::size_t>(size * 16 + 64, 4u << 20));
    for (const std::uint8_t method : {kerf::XpressDecoder::kMethodHuffman, kerf::XpressDecoder::kMethodLz77}) {
      std::vector<std::uint8_t> wrapped{'M', 'A', 'M', method};
      for (int i = 0; i < 4; ++i) wrapped.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
      wrapped.insert(wrapped.end(), input.begin(), input.end());
      decode_and_check(wrapped);
    }
  }
  return 0;
}
