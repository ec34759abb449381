// The Volume Shadow Copy stores of one NTFS volume of a disk image, read
// by libvshadow: each store is an older state of the volume, which kerf
// opens as a disk image of its own for the NTFS reader. libvshadow reads the
// volume through a libbfio handle that asks The Sleuth Kit's image, so no
// byte of the evidence is read any other way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/image/disk_image.h"

struct TSK_IMG_INFO;

namespace kerf {

struct ShadowStore {
  unsigned number = 0;        // from 1, in creation order, as vshadowinfo numbers them
  std::uint64_t created = 0;  // FILETIME
  std::unique_ptr<DiskImage> image;  // the volume as the store keeps it, from its offset 0
};

// The stores of the volume that starts at byte `offset` of `image` and is
// `size` bytes long; none when it has no shadow copies. `wanted(number)`
// picks the stores to open. A catalog that can't be read, or a store that
// won't open, adds a reason to `problems` naming the store ("store 2: ...");
// the other stores are still given.
std::vector<ShadowStore> open_shadow_stores(TSK_IMG_INFO* image, std::uint64_t offset, std::uint64_t size,
                                            const std::vector<bool>& wanted, std::vector<std::string>& problems);

}  // namespace kerf
