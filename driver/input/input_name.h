// One input a run hands to the decoder: a host file by its path, or a file
// found inside a volume of a disk image.
#pragma once

#include <string>
#include <vector>

#include "report/input_file.h"

#include "sources/image/ntfs_volume.h"
#include "sources/image/opened_image.h"

namespace kerf {

// Where in a disk image a file was found; `image` is null for a host file.
struct VolumeFileRef {
  const OpenedImage* image = nullptr;
  const VolumeCopy* copy = nullptr;  // the volume, or one of its shadow-copy stores
  VolumeEntry entry;

  bool is_set() const noexcept { return image != nullptr; }
};

struct InputName {
  // A host file's path; for a file in an image, the name reports show:
  // "<image>@<volume offset>:<path in the volume>".
  std::string path;
  VolumeFileRef in_volume;
  // With -vss: every copy with the same path and the same bytes, this one
  // first; they are reported once.
  std::vector<SameCopy> copies;
};

}  // namespace kerf
