// libFuzzer target: any byte string as a stream to carve. Every signature
// hit is decoded as the carver decodes it, from the hit to the most its
// header may claim or the end of the input, and what a find says about
// itself is checked: it never takes more bytes than it was given, a partial
// find read less than it declares or holds overwritten sections, and what
// it could not read is empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "prefetch/carved_find.h"
#include "sources/carve/signature_scan.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stream(data, size);
  std::vector<std::uint64_t> hits;
  kerf::find_signatures(stream, size, hits);
  check(std::is_sorted(hits.begin(), hits.end()));
  kerf::FindDecoder decoder({.check_executable_hash = true, .read_file_references = true});
  kerf::PrefetchRecord record;
  for (const std::uint64_t hit : hits) {
    check(hit + kerf::kSignatureSpan <= size);
    const std::span<const std::uint8_t> from = stream.subspan(hit);
    const std::uint64_t wanted = kerf::FindDecoder::bytes_wanted(from.first(std::min(from.size(), kerf::FindDecoder::kHeadBytes)));
    if (wanted == 0) continue;
    const std::span<const std::uint8_t> bytes = from.first(std::min<std::uint64_t>(from.size(), wanted));
    const kerf::Find find = decoder.decode(bytes, record);
    if (find.kind == kerf::FindKind::none) continue;
    check(find.length <= bytes.size());
    check(decoder.image().size() >= 228);
    check((find.kind == kerf::FindKind::partial) == record.cut.has_value());
    if (record.cut) {
      // Cut short, or read whole with sections that hold other data.
      check(record.cut->read < record.cut->declared ||
            (record.cut->read == record.cut->declared && record.cut->overwritten));
      check(record.cut->loaded_files || record.cut->volumes || record.cut->read < record.cut->declared);
      check(record.cut->read == decoder.image().size());
      if (record.cut->loaded_files) check(record.loaded_files.empty() && record.file_references.empty());
      if (record.cut->volumes) check(record.volumes.empty());
    }
  }
  return 0;
}
