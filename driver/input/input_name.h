// One input a run hands to the decoder: a host file by its path, a file
// found inside a volume of a disk image, or a piece of a stream to carve.
#pragma once

#include <string>
#include <vector>

#include "report/input_file.h"

#include "sources/carve/byte_stream.h"
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

// A piece of a stream scanned for Prefetch data (-carve): the hits that
// start in [begin, end) are this piece's; their bytes may reach further.
struct CarveChunk {
  const ByteStream* stream = nullptr;
  std::uint64_t begin = 0;
  std::uint64_t end = 0;

  bool is_set() const noexcept { return stream != nullptr; }
};

struct InputName {
  // A host file's path; for a file in an image, the name reports show:
  // "<image>@<volume offset>:<path in the volume>".
  std::string path;
  VolumeFileRef in_volume;
  // With -vss: every copy with the same path and the same bytes, this one
  // first; they are reported once.
  std::vector<SameCopy> copies;
  // Set for a piece of a stream to carve; `path` then names the piece.
  CarveChunk carve;
};

}  // namespace kerf
