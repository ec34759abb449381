#include "prefetch/carved_find.h"

#include <algorithm>

#include "codec/container.h"
#include "lib/io/byte_reader.h"
#include "prefetch/header.h"
#include "prefetch/loader.h"

namespace kerf {

namespace {

bool known_version(std::uint32_t version) {
  return version == kVersionXp || version == kVersionVista || version == kVersionWin8 || version == kVersionWin10 ||
         version == kVersionWin11;
}

// Whether `count` entries of `entry_size` bytes at `offset` lie inside the
// declared size; an empty array may stand anywhere.
bool array_inside(std::uint64_t offset, std::uint64_t count, std::uint64_t entry_size, std::uint64_t declared) {
  return count == 0 || (offset <= declared && count * entry_size <= declared - offset);
}

// The most bytes a container may take for `declared` bytes of output:
// incompressible data costs Xpress Huffman 256 bytes of code lengths per
// 64 KiB block and LZ77 one flag bit per byte, and headers are small.
std::uint64_t container_bound(std::uint64_t declared) { return declared + declared / 8 + 4096; }

// Where the compressed stream of a checksummed container truly ends: its
// CRC32 holds there. The decoder's bit reader loads up to 4 bytes ahead of
// the bits it decodes, and a compressor may flush a few bytes more than the
// last symbol needs, so the end stands within 4 bytes of where it stopped.
std::optional<std::uint64_t> checksummed_length(std::span<const std::uint8_t> bytes,
                                                const codec::Container& container, std::uint64_t consumed) {
  constexpr std::uint64_t kSlack = 4;
  const std::uint64_t first = consumed > kSlack ? consumed - kSlack : 0;
  const std::uint64_t last = std::min<std::uint64_t>(consumed + kSlack, bytes.size());
  for (std::uint64_t length = std::max(first, container.data_offset); length <= last; ++length) {
    if (codec::checksum_holds(bytes.first(length), container)) return length;
  }
  return std::nullopt;
}

}  // namespace

bool header_is_consistent(std::span<const std::uint8_t> bytes, std::uint64_t declared) noexcept {
  const io::ByteReader image{bytes};
  if (image.size() < kMinImageSize || !image.matches(header_offset::kSignature, kPrefetchSignature)) return false;
  PrefetchHeader header;
  header.version = image.u32_or(header_offset::kVersion, 0);
  if (!known_version(header.version)) return false;
  if (declared < kMinImageSize || declared > PrefetchLoader::kMaxFileSize) return false;
  if (image.u32_or(header_offset::kHeaderSize, 0) != declared) return false;
  const auto field = [&](std::uint64_t offset) { return std::uint64_t{image.u32_or(offset, 0)}; };
  // Windows writes the trace chains right before the file names.
  const std::uint64_t names = field(header_offset::kFileNamesOffset);
  return array_inside(field(header_offset::kMetricsOffset), field(header_offset::kMetricsCount),
                      header.metrics_entry_size(), declared) &&
         array_inside(field(header_offset::kTraceChainsOffset), field(header_offset::kTraceChainsCount),
                      header.trace_chain_entry_size(), names) &&
         array_inside(field(header_offset::kFileNamesOffset), field(header_offset::kFileNamesSize), 1, declared) &&
         array_inside(field(header_offset::kVolumesOffset), field(header_offset::kVolumesSize), 1, declared) &&
         field(header_offset::kVolumesCount) * header.volume_entry_size() <= field(header_offset::kVolumesSize);
}

std::uint64_t FindDecoder::bytes_wanted(std::span<const std::uint8_t> head) noexcept {
  const io::ByteReader bytes{head};
  if (bytes.matches(header_offset::kSignature, kPrefetchSignature)) {
    if (!known_version(bytes.u32_or(header_offset::kVersion, 0))) return 0;
    const std::uint64_t declared = bytes.u32_or(header_offset::kHeaderSize, 0);
    return declared >= kMinImageSize && declared <= PrefetchLoader::kMaxFileSize ? declared : 0;
  }
  const codec::Container container = codec::detect_container(head);
  if (container.kind == codec::ContainerKind::none || !container.method_known()) return 0;
  if (container.declared_size < kMinImageSize || container.declared_size > PrefetchLoader::kMaxFileSize) return 0;
  return container_bound(container.declared_size);
}

Find FindDecoder::decode(std::span<const std::uint8_t> bytes, PrefetchRecord& record) {
  record.clear();
  m_image = {};
  const io::ByteReader head{bytes};
  if (head.matches(header_offset::kSignature, kPrefetchSignature)) return decode_plain(bytes, record);
  return decode_container(bytes, record);
}

// Past the end of its input a Huffman stream reads zero bits, so the last
// output of a stream cut short may have come from bits that are not there.
// Decoded again with other bytes past the cut, the output stays the same up
// to the first byte that depended on them: what comes before it is the
// stream's own. (Two fillers, so that a symbol that happens to decode alike
// from zeros and from one filler is still caught.)
std::uint64_t FindDecoder::trusted_output(std::span<const std::uint8_t> bytes) {
  const std::vector<std::uint8_t>& output = m_decoder.output();
  std::uint64_t trusted = m_decoder.produced();
  if (trusted == output.size()) return trusted;  // the whole declared size
  constexpr std::size_t kFiller = 64;
  for (const std::uint8_t filler : {std::uint8_t{0xFF}, std::uint8_t{0x55}}) {
    m_padded.assign(bytes.begin(), bytes.end());
    m_padded.insert(m_padded.end(), kFiller, filler);
    m_check.decompress(m_padded, static_cast<std::uint32_t>(output.size()));
    const std::vector<std::uint8_t>& other = m_check.output();
    const std::uint64_t common = std::min<std::uint64_t>(trusted, other.size());
    const auto differ = std::mismatch(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(common), other.begin());
    trusted = static_cast<std::uint64_t>(differ.first - output.begin());
  }
  return trusted;
}

bool FindDecoder::parse(std::uint64_t declared, PrefetchRecord& record) {
  if (m_image.size() < declared) record.cut = CutShort{m_image.size(), declared, false, false, false};
  if (parse_carved_image(m_image, record, m_options) != ParseResult::ok) return false;
  drop_overwritten_sections(record);
  return true;
}

// Windows names every loaded file and every volume by a path from the
// root of its device ("\DEVICE\..." or "\VOLUME{...}"), and writes as many
// names and volumes as the header counts. A section that holds anything else was
// overwritten after the file was deleted, its header's clusters kept: it
// is left out, as a section cut off is.
void FindDecoder::drop_overwritten_sections(PrefetchRecord& record) {
  const auto rooted = [](std::string_view path) { return !path.empty() && path.front() == '\\'; };
  const io::ByteReader image{m_image};
  bool names_hold = record.loaded_files.size() == image.u32_or(header_offset::kMetricsCount, 0);
  for (std::size_t i = 0; names_hold && i < record.loaded_files.size(); ++i) names_hold = rooted(record.loaded_files[i]);
  bool volumes_hold = record.volumes.size() == image.u32_or(header_offset::kVolumesCount, 0);
  for (const Volume& volume : record.volumes) volumes_hold = volumes_hold && rooted(volume.device_path);
  const bool names_read = !record.cut || !record.cut->loaded_files;
  const bool volumes_read = !record.cut || !record.cut->volumes;
  if ((names_hold || !names_read) && (volumes_hold || !volumes_read)) return;
  if (!record.cut) record.cut = CutShort{m_image.size(), m_image.size(), false, false, false};
  record.cut->overwritten = true;
  if (names_read && !names_hold) {
    record.cut->loaded_files = true;
    record.loaded_files.clear();
    record.loaded_file_offsets.clear();
    record.file_references.clear();
  }
  if (volumes_read && !volumes_hold) {
    record.cut->volumes = true;
    record.volumes.clear();
  }
  // A path taken from what was dropped goes with it, and so does the hash
  // check.
  bool path_is_a_name = false;
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) path_is_a_name = path_is_a_name || record.loaded_files[i] == record.app_path;
  if (!path_is_a_name) record.app_path = record.exe_name.empty() ? "unk" : record.exe_name;
  record.hash_check = HashCheck{};
}

Find FindDecoder::decode_plain(std::span<const std::uint8_t> bytes, PrefetchRecord& record) {
  const std::uint64_t declared = bytes_wanted(bytes.first(std::min(bytes.size(), kHeadBytes)));
  if (declared == 0 || !header_is_consistent(bytes, declared)) return {};
  m_image = bytes.first(std::min<std::uint64_t>(bytes.size(), declared));
  if (!parse(declared, record)) return {};
  return {record.cut ? FindKind::partial : FindKind::whole, m_image.size()};
}

Find FindDecoder::decode_container(std::span<const std::uint8_t> bytes, PrefetchRecord& record) {
  if (bytes_wanted(bytes.first(std::min(bytes.size(), kHeadBytes))) == 0) return {};
  // The header first: noise that happens to start with "MAM" is turned
  // away after 228 bytes of output, not after megabytes.
  const codec::DecodeResult header = m_decoder.decompress(bytes, static_cast<std::uint32_t>(kMinImageSize));
  const std::uint64_t declared = header.container.declared_size;
  if (header.status != codec::DecodeStatus::ok || trusted_output(bytes) < kMinImageSize) return {};
  // The LZ77 container counts whole 4 KiB pages: the image in it may end
  // inside the last one.
  std::uint64_t image_size = declared;
  if (header.container.kind == codec::ContainerKind::lz77) {
    const std::uint64_t stated = io::ByteReader{m_decoder.output()}.u32_or(header_offset::kHeaderSize, 0);
    if (stated <= declared && stated + 4096 > declared) image_size = stated;
  }
  if (!header_is_consistent(m_decoder.output(), image_size)) return {};
  const codec::DecodeResult whole = m_decoder.decompress(bytes);
  // The whole declared size, or (the LZ77 container's zeros after its data
  // are part of it) what was made before the stream stopped.
  std::uint64_t read = whole.status == codec::DecodeStatus::ok ? m_decoder.output().size() : m_decoder.produced();
  if (whole.status == codec::DecodeStatus::damaged) {
    // Garbage may decode for a while before it fails: only the blocks before
    // the one that failed are taken.
    read -= read % 65536;
  } else if (whole.status == codec::DecodeStatus::ends_early) {
    read = trusted_output(bytes);
  } else if (whole.status != codec::DecodeStatus::ok) {
    return {};
  }
  if (read < kMinImageSize) return {};
  m_image = std::span<const std::uint8_t>(m_decoder.output()).first(static_cast<std::size_t>(read));
  if (!parse(declared, record)) return {};
  record.container = whole.container.kind;
  std::uint64_t length = std::min<std::uint64_t>(m_decoder.consumed(), bytes.size());
  if (whole.container.has_checksum && !record.cut) {
    record.checksum_present = true;
    const std::optional<std::uint64_t> exact = checksummed_length(bytes, whole.container, length);
    record.checksum_matches = exact.has_value();
    if (exact) length = *exact;
  }
  return {record.cut ? FindKind::partial : FindKind::whole, length};
}

}  // namespace kerf
