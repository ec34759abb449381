// One disk image named by -image, opened with every NTFS volume in it. It is
// also the image's answer to what the loader asks of a file read from it:
// which of its volumes has a serial number, and what became of a file known
// by its MFT reference.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sources/carve/byte_stream.h"
#include "sources/image/disk_image.h"
#include "sources/image/ntfs_volume.h"
#include "sources/image/shadow_stores.h"
#include "sources/volume_lookup.h"

namespace kerf {

// Which shadow-copy stores to read besides each volume (-vss, -vss_stores).
struct ShadowCopySettings {
  bool read = false;
  // Indexed by store number; empty: every store.
  std::vector<bool> wanted;
};

// One state of an NTFS volume: the live volume, or one of its shadow-copy
// stores.
struct VolumeCopy {
  NtfsVolume* volume = nullptr;
  const NtfsVolume* live = nullptr;  // the live volume it is a state of (itself for the live one)
  unsigned store = 0;                // 0: the live volume
  std::uint64_t store_created = 0;   // FILETIME, for a store
};

class OpenedImage final : public VolumeLookup {
 public:
  // Opens the image at `path` and the NTFS volumes it holds. Null when the
  // image itself can't be opened. Each problem (the image, a partition
  // table, a volume that looks like NTFS but won't open, an image holding no
  // NTFS volume at all) goes to `problems` as a message line naming the
  // image, and the volume by its offset.
  static std::unique_ptr<OpenedImage> open(const std::string& path, std::vector<std::string>& problems,
                                           const ShadowCopySettings& shadows = {});

  const DiskImage& image() const noexcept { return *m_image; }
  const std::string& path() const noexcept { return m_image->path(); }
  // In the order of their offsets.
  const std::vector<std::unique_ptr<NtfsVolume>>& volumes() const noexcept { return m_volumes; }

  // Every volume state to read: each live volume followed by its stores,
  // oldest first.
  const std::vector<VolumeCopy>& copies() const noexcept { return m_copies; }

  // "<image path>@<volume offset>:<path in the volume>", the name a report
  // shows for a file found in the volume; "#vss<N>" follows the offset for
  // a store.
  std::string shown_name(const VolumeCopy& copy, std::string_view inner_path) const;
  // The part before ":<path in the volume>": "<image path>@<volume offset>",
  // with "#vss<N>" for a store.
  std::string copy_name(const VolumeCopy& copy) const;

  // The unallocated clusters of the volume state `copy`, as a stream named
  // copy_name(copy) whose offsets are the volume's and are shown from the
  // volume's offset in the image. A store's free clusters are those its own
  // $Bitmap marks free, read from the store. Null, with the reason, when the
  // volume's cluster bitmap can't be read.
  std::unique_ptr<ByteStream> free_space(const VolumeCopy& copy, std::string& reason) const;

  // A source reading `entry` of the volume state `copy`, which answers the
  // loader's questions about volumes with this image.
  std::unique_ptr<InputSource> open_file(const VolumeCopy& copy, const VolumeEntry& entry,
                                         std::string shown_name) const;

  std::optional<std::uint64_t> volume_with_serial(std::uint32_t serial) const override;
  MftLookup look_up(std::uint64_t volume_offset, std::uint64_t mft_entry, std::uint16_t sequence) const override;

 private:
  explicit OpenedImage(std::unique_ptr<DiskImage> image) : m_image(std::move(image)) {}
  void open_stores(NtfsVolume& live, const ShadowCopySettings& shadows, std::vector<std::string>& problems);
  // The image a volume state is read from: the store's own for a store.
  DiskImage& image_of(const VolumeCopy& copy) const;

  std::unique_ptr<DiskImage> m_image;
  std::vector<std::unique_ptr<NtfsVolume>> m_volumes;
  // The stores' media and volumes, kept for as long as the image.
  std::vector<ShadowStore> m_stores;
  std::vector<std::unique_ptr<NtfsVolume>> m_store_volumes;
  std::vector<VolumeCopy> m_copies;
};

// Whether the bytes at `offset` of the image begin like an NTFS boot sector
// ("NTFS    " after the jump): a partition that does not is another file
// system (an EFI system partition, a recovery or Linux partition) and is
// passed over without a word.
bool looks_like_ntfs(TSK_IMG_INFO* image, std::uint64_t offset);

}  // namespace kerf
