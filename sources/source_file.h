// The facts of one input file as the place that holds it shows them: its
// size, its times, which file it is, and whether it was deleted. A source
// takes them before it reads a byte, so they are the facts the file had, not
// those of the moment kerf read it.
#pragma once

#include <cstdint>
#include <optional>

#include "lib/io/file.h"

namespace kerf {

// The four times of an NTFS file's $FILE_NAME attribute. Tools that set a
// file's times seldom reach them, so examiners compare them with the others.
struct FileNameTimes {
  std::uint64_t modified = 0;
  std::uint64_t accessed = 0;
  std::uint64_t changed = 0;  // the MFT entry's change
  std::uint64_t born = 0;
};

struct SourceFile {
  std::uint64_t size = 0;  // as stored, not decompressed
  // FILETIMEs: from whole Unix seconds for a host file; a file in an NTFS
  // volume has its $STANDARD_INFORMATION times, to the 100 ns.
  std::uint64_t modified = 0;
  std::uint64_t accessed = 0;
  std::uint64_t changed = 0;  // status change (NTFS: the MFT entry's change)
  std::uint64_t born = 0;     // birth, where the file system reports one; 0 otherwise
  // Which file it is, whatever name it was reached by: a host file's device
  // and inode.
  io::FileId identity;
  // Read from a volume of a disk image (or a shadow-copy store), not from
  // the host's own file system.
  bool in_volume = false;
  // Found among a volume's deleted entries; a host file never is.
  bool deleted = false;
  // Read from a shadow-copy store of the volume: its number (from 1, in
  // creation order) and when the store was made (a FILETIME).
  std::optional<std::uint32_t> store;
  std::uint64_t store_created = 0;
  // A file in an NTFS volume: its $FILE_NAME times.
  std::optional<FileNameTimes> file_name_times;
  // Carved from a stream of bytes rather than read as a file: the byte
  // offset it starts at, in the disk image (a volume's free clusters) or in
  // the file scanned. Such a find has no times of its own.
  std::optional<std::uint64_t> carved_at;
};

}  // namespace kerf
