#include "sources/image/image_signature.h"

#include <algorithm>

#include "lib/io/byte_reader.h"

namespace kerf::image {

namespace {

// The footer a VHD keeps in its last 512 bytes (and, when dynamic, copies
// to its first).
constexpr std::uint64_t kVhdFooterSize = 512;
// VirtualBox images keep their signature at this offset.
constexpr std::uint64_t kVdiSignatureOffset = 0x40;
constexpr std::uint32_t kVdiSignature = 0xbeda107f;

bool starts_with(io::ByteReader bytes, std::uint64_t offset, std::string_view signature) {
  const auto found = bytes.bytes(offset, signature.size());
  return !found.empty() && std::equal(found.begin(), found.end(), signature.begin(),
                                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

}  // namespace

Container container_of(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail) {
  using namespace std::string_view_literals;
  const io::ByteReader start(head);
  if (starts_with(start, 0, "EVF\x09\x0d\x0a\xff\x00"sv)) return Container::ewf;
  if (starts_with(start, 0, "EVF2\x0d\x0a\x81\x00"sv)) return Container::ewf2;
  if (starts_with(start, 0, "LVF\x09\x0d\x0a\xff\x00"sv) || starts_with(start, 0, "LEF2\x0d\x0a\x81\x00"sv)) {
    return Container::logical_ewf;
  }
  if (starts_with(start, 0, "KDMV"sv) || starts_with(start, 0, "COWD"sv)) return Container::vmdk_sparse;
  if (starts_with(start, 0, "# Disk DescriptorFile"sv)) return Container::vmdk_descriptor;
  if (starts_with(start, 0, "vhdxfile"sv)) return Container::vhdx;
  if (starts_with(start, 0, "conectix"sv)) return Container::vhd;
  if (starts_with(start, 0, "QFI\xfb"sv)) return Container::qcow;
  if (starts_with(start, 0, "AFF10\x0d\x0a\x00"sv)) return Container::aff;
  if (start.u32(kVdiSignatureOffset) == kVdiSignature) return Container::vdi;
  // A fixed VHD is the raw media followed by the footer.
  if (tail.size() == kVhdFooterSize && starts_with(io::ByteReader(tail), 0, "conectix"sv)) return Container::vhd;
  return Container::none;
}

std::string_view container_name(Container container) {
  switch (container) {
    case Container::none: return "raw";
    case Container::ewf: return "EWF";
    case Container::ewf2: return "EWF2 (Ex01)";
    case Container::logical_ewf: return "logical evidence file (L01)";
    case Container::vmdk_sparse:
    case Container::vmdk_descriptor: return "VMDK";
    case Container::vhd: return "VHD";
    case Container::vhdx: return "VHDX";
    case Container::qcow: return "QCOW2";
    case Container::vdi: return "VDI";
    case Container::aff: return "AFF";
  }
  return "raw";
}

}  // namespace kerf::image
