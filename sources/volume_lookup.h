// What the volumes of a disk image can tell about a Prefetch file read from
// one of them: which of them a volume the file lists is, and what became of
// a file the program loaded, known by its MFT reference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kerf {

// What became of a file known by its MFT reference.
enum class MftState {
  unknown,  // no reference, no volume to look in, or the entry can't be read
  in_use,   // the entry is allocated with the same sequence: the file is still there
  deleted,  // the entry is free, with the reference's sequence or one more: nothing reused it
  reused,   // the entry is allocated with another sequence: another file holds it now
};

struct MftLookup {
  MftState state = MftState::unknown;
  std::string current_path;  // for `in_use`: the file's path now (backslashes, from the root); may be empty
};

class VolumeLookup {
 public:
  virtual ~VolumeLookup() = default;
  // The byte offset of the image's NTFS volume whose serial number's low 32
  // bits (the number Windows shows, and Prefetch files store) are `serial`;
  // nothing when no volume, or more than one, has it.
  virtual std::optional<std::uint64_t> volume_with_serial(std::uint32_t serial) const = 0;
  // What became of the file with this MFT reference in the volume at
  // `volume_offset`. Safe to call from several threads.
  virtual MftLookup look_up(std::uint64_t volume_offset, std::uint64_t mft_entry, std::uint16_t sequence) const = 0;
};

}  // namespace kerf
