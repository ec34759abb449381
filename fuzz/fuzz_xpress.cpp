// Feeds arbitrary bytes to the container decoder: as they are, and, when
// they are no container, behind "MAM" headers so that the Huffman block
// decoder and the plain LZ77 stream decoder see them too. Any output must
// hold exactly the declared size, and a success must have it.
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

#include "codec/xpress_decoder.h"

namespace {

// Larger than most decoded Prefetch files, and two Huffman blocks long, so
// that matches can run from one block into the next. (256 KiB found no more
// coverage in a minute and ran 15 % fewer inputs.)
constexpr std::uint32_t kMaxFuzzedOutput = 128u * 1024u;

namespace codec = kerf::codec;

struct Harness {
  codec::XpressDecoder decoder;
  std::vector<std::uint8_t> input;

  void decode_and_check() {
    const codec::DecodeResult result = decoder.decompress(input);
    const bool ok = result.status == codec::DecodeStatus::ok;
    if ((ok || !decoder.output().empty()) && decoder.output().size() != result.container.declared_size) std::abort();
    if ((result.status == codec::DecodeStatus::not_compressed) !=
        (result.container.kind == codec::ContainerKind::none)) {
      std::abort();
    }
  }

  // The declared size of a "MAM" or "MEM0" header, lowered to the bound.
  void bound_declared_size() {
    const codec::Container container = codec::detect_container(input);
    const bool sized_header =
        container.kind == codec::ContainerKind::mam || container.kind == codec::ContainerKind::mem0;
    if (!sized_header || container.declared_size <= kMaxFuzzedOutput ||
        container.declared_size > codec::XpressDecoder::kMaxDeclaredSize) {
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
  if (codec::detect_container({data, size}).kind != codec::ContainerKind::none) return 0;
  // Room for a stream that expands a lot, within the bound.
  const auto declared = static_cast<std::uint32_t>(std::min<std::size_t>(size * 16 + 64, kMaxFuzzedOutput));
  for (const std::uint8_t method : {codec::kMethodHuffman, codec::kMethodLz77}) {
    harness.input.assign({'M', 'A', 'M', method});
    for (int i = 0; i < 4; ++i) harness.input.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    harness.input.insert(harness.input.end(), data, data + size);
    harness.decode_and_check();
  }
  return 0;
}
