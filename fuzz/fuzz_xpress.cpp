// Feeds arbitrary bytes to the container decoder: as they are, and, when
// they are no container, behind "MAM" headers so that the Huffman block
// decoder and the plain LZ77 stream decoder see them too. A success must
// hold exactly the declared size.
//
// Speed: the cost of an input is mostly the output it declares, which the
// decoder allocates and zero-fills. The harness lets an input declare at
// most kMaxFuzzedOutput (a declared size the decoder refuses anyway, above
// 16 MiB, is left as it is: that check costs nothing), and one decoder
// serves every input, keeping its buffers as a bulk run does.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "prefetch/xpress_decoder.h"

namespace {

// Larger than most decoded Prefetch files, and two Huffman blocks long, so
// that matches can run from one block into the next. (256 KiB found no more
// coverage in a minute and ran 15 % fewer inputs.)
constexpr std::uint32_t kMaxFuzzedOutput = 128u * 1024u;

struct Harness {
  kerf::XpressDecoder decoder;
  std::vector<std::uint8_t> input;

  void decode_and_check() {
    const kerf::XpressDecoder::Container container = kerf::XpressDecoder::detect_container(input);
    const bool ok = decoder.decompress(input);
    if (ok && decoder.output().size() != container.declared_size) std::abort();
    if (ok && container.kind == kerf::ContainerKind::none) std::abort();
  }

  // The declared size of a "MAM" or "MEM0" header, lowered to the bound.
  void bound_declared_size() {
    const auto container = kerf::XpressDecoder::detect_container(input);
    const bool sized_header = container.kind == kerf::ContainerKind::mam || container.kind == kerf::ContainerKind::mem0;
    if (!sized_header || container.declared_size <= kMaxFuzzedOutput ||
        container.declared_size > kerf::XpressDecoder::kMaxDeclaredSize) {
      return;
    }
    for (int i = 0; i < 4; ++i) input[4 + i] = static_cast<std::uint8_t>(kMaxFuzzedOutput >> (8 * i));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness harness;
  harness.input.assign(data, data + size);
  harness.bound_declared_size();
  harness.decode_and_check();
  if (kerf::XpressDecoder::detect_container({data, size}).kind != kerf::ContainerKind::none) return 0;
  // Room for a stream that expands a lot, within the bound.
  const auto declared = static_cast<std::uint32_t>(std::min<std::size_t>(size * 16 + 64, kMaxFuzzedOutput));
  for (const std::uint8_t method : {kerf::XpressDecoder::kMethodHuffman, kerf::XpressDecoder::kMethodLz77}) {
    harness.input.assign({'M', 'A', 'M', method});
    for (int i = 0; i < 4; ++i) harness.input.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    harness.input.insert(harness.input.end(), data, data + size);
    harness.decode_and_check();
  }
  return 0;
}
