// The unallocated clusters of one state of an NTFS volume (the live volume
// or a shadow-copy store), as the stream a carving scan reads: one extent
// per run of free clusters, read through the image the volume was opened
// on. Made by OpenedImage::free_space.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sources/carve/byte_stream.h"
#include "sources/image/disk_image.h"

struct TSK_IMG_INFO;

namespace kerf {

// The failed reads of all of `images` so far.
std::uint64_t failed_reads_of(const std::vector<const DiskImage*>& images) noexcept;

class FreeClusters final : public ByteStream {
 public:
  // The volume is `volume_size` bytes from byte `volume_offset` of `image`;
  // `extents` are its free runs. A read is trusted only while the failed
  // reads of every image in `watched` stay where they were (The Sleuth Kit
  // may hand back zeros for a read that failed). The images must outlive
  // the stream.
  FreeClusters(std::string name, std::vector<ByteExtent> extents, std::uint64_t shown_offset_base, TSK_IMG_INFO* image,
               std::uint64_t volume_offset, std::uint64_t volume_size, std::vector<const DiskImage*> watched)
      : m_name(std::move(name)),
        m_extents(std::move(extents)),
        m_shown_offset_base(shown_offset_base),
        m_image(image),
        m_volume_offset(volume_offset),
        m_volume_size(volume_size),
        m_watched(std::move(watched)) {}

  const std::string& name() const noexcept override { return m_name; }
  const std::vector<ByteExtent>& extents() const noexcept override { return m_extents; }
  std::uint64_t shown_offset_base() const noexcept override { return m_shown_offset_base; }
  // Any bytes of the volume, free or not; false past its end.
  bool read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) const override;

 private:
  std::string m_name;
  std::vector<ByteExtent> m_extents;
  std::uint64_t m_shown_offset_base;
  TSK_IMG_INFO* m_image;
  std::uint64_t m_volume_offset;
  std::uint64_t m_volume_size;
  std::vector<const DiskImage*> m_watched;
};

}  // namespace kerf
