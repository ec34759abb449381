// What a disk image tells about a Prefetch file read from one of its
// volumes: which of the image's volumes each volume the file lists is (by
// serial number), and what became of each file the program loaded, looked
// up by its NTFS file reference on the volume it was on.
#pragma once

#include <string_view>

#include "prefetch/record.h"
#include "sources/volume_lookup.h"

namespace kerf {

// The record volume a loaded file's path lies on: the first whose device
// path, followed by "\", begins the path (ignoring the case of A-Z); null
// when none does.
const Volume* volume_of_loaded_file(const PrefetchRecord& record, std::string_view path) noexcept;

// Fills Volume::image_volume and PrefetchRecord::loaded_file_fates (one per
// loaded file) from `volumes`. A file without a reference, or on no volume
// that the image holds, stays `unknown`.
void look_up_loaded_files(const VolumeLookup& volumes, PrefetchRecord& record);

}  // namespace kerf
