#include "driver/run/chunk_carver.h"

#include <algorithm>

#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "sources/carve/signature_scan.h"

namespace kerf {

namespace {

// Bytes read past a slice: enough to see a signature that starts in it and
// the header fields that tell how long its find may be.
constexpr std::uint64_t kSliceOverlap = std::max<std::uint64_t>(kSignatureSpan, FindDecoder::kHeadBytes);

}  // namespace

std::string unreadable_range_message(const ByteStream& stream, std::uint64_t begin, std::uint64_t end) {
  std::string range = ": bytes ";
  text::append_decimal(range, stream.shown_offset_base() + begin);
  range += " to ";
  text::append_decimal(range, stream.shown_offset_base() + end - 1);
  range += " can't be read\n";
  return text::message_naming("kerf: ", stream.name(), range);
}

void ChunkCarver::carve(FileResult& result) {
  result.finds.clear();
  result.hits_not_decoded = 0;
  result.unreadable_ranges.clear();
  m_covered_until = 0;
  const CarveChunk& chunk = result.carve;
  const std::vector<ByteExtent>& extents = chunk.stream->extents();
  auto extent = std::upper_bound(extents.begin(), extents.end(), chunk.begin,
                                 [](std::uint64_t offset, const ByteExtent& e) { return offset < e.end; });
  for (; extent != extents.end() && extent->begin < chunk.end; ++extent) {
    const std::uint64_t end = std::min(extent->end, chunk.end);
    for (std::uint64_t slice = std::max(extent->begin, chunk.begin); slice < end; slice += kSliceBytes) {
      scan_slice(*chunk.stream, *extent, slice, std::min(slice + kSliceBytes, end), result);
    }
  }
}

void ChunkCarver::scan_slice(const ByteStream& stream, const ByteExtent& extent, std::uint64_t begin,
                             std::uint64_t end, FileResult& result) {
  const std::uint64_t read_end = std::min(end + kSliceOverlap, extent.end);
  if (!stream.read(begin, read_end - begin, m_slice)) {
    result.unreadable_ranges.push_back(unreadable_range_message(stream, begin, end));
    return;
  }
  m_hits.clear();
  find_signatures(m_slice, static_cast<std::size_t>(end - begin), m_hits);
  for (const std::uint64_t hit : m_hits) {
    if (begin + hit < m_covered_until) continue;
    decode_hit(stream, extent, begin, begin + hit, result);
  }
}

void ChunkCarver::decode_hit(const ByteStream& stream, const ByteExtent& extent, std::uint64_t slice,
                             std::uint64_t at, FileResult& result) {
  const std::span<const std::uint8_t> read(m_slice);
  const std::span<const std::uint8_t> in_slice = read.subspan(static_cast<std::size_t>(at - slice));
  const std::uint64_t wanted = FindDecoder::bytes_wanted(in_slice.first(std::min(in_slice.size(), FindDecoder::kHeadBytes)));
  if (wanted == 0) {
    ++result.hits_not_decoded;
    return;
  }
  // A find never runs past the end of its extent: what follows it there
  // belongs to something else.
  const std::uint64_t want_end = std::min(at + wanted, extent.end);
  std::span<const std::uint8_t> bytes = in_slice;
  if (want_end - at <= in_slice.size()) {
    bytes = in_slice.first(static_cast<std::size_t>(want_end - at));
  } else if (stream.read(at, want_end - at, m_find)) {
    bytes = m_find;
  }
  // Otherwise what the slice holds is decoded, and the find shows as cut
  // short; the bytes that can't be read lie in the same extent, and the
  // slice that scans them names them, once.
  const Find find = m_decoder.decode(bytes, m_record);
  if (find.kind == FindKind::none) {
    ++result.hits_not_decoded;
    return;
  }
  m_covered_until = at + find.length;
  FileResult& found = result.finds.emplace_back();
  found.outcome = FileOutcome::reported;
  found.find_offset = at;
  found.find_length = find.length;
  const std::uint64_t shown = stream.shown_offset_base() + at;
  std::string name = "carved@";
  text::append_decimal(name, shown);
  found.path = stream.name() + ":" + name;
  // The name stands in every table and timeline: a find cut short says so
  // there.
  if (m_record.cut) name += " (partial)";
  found.digest = digest_of(m_decoder.image());
  found.checksum_mismatch = m_record.checksum_present && !m_record.checksum_matches;
  m_record.source.carved_at = shown;
  m_record.source.size = find.length;
  m_renderer.render(InputFile{found.path, std::move(name), {}}, m_record, found.rendered);
}

}  // namespace kerf
