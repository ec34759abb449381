// Which container a disk-image file is, told by the signatures at its start
// (and, for a fixed VHD, at its end), never by its name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kerf::image {

enum class Container {
  none,  // no known container: raw media
  ewf,
  ewf2,
  logical_ewf,
  vmdk_sparse,
  vmdk_descriptor,
  vhd,
  vhdx,
  qcow,
  vdi,
  aff,
};

// `head`: the file's first bytes (512 are enough); `tail`: its last 512
// bytes (fewer, or empty, for a smaller file).
Container container_of(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);

// The name of the container, as DiskImage::format() gives it ("EWF").
std::string_view container_name(Container container);

}  // namespace kerf::image
