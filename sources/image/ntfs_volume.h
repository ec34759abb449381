// One NTFS volume inside a disk image (or a shadow-copy store), read through
// The Sleuth Kit: its folders, its files (deleted ones included, while their
// MFT entry still describes them), and what became of a file known only by
// its MFT reference.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sources/carve/byte_stream.h"
#include "sources/image/ntfs_name_fold.h"
#include "sources/input_source.h"
#include "sources/volume_lookup.h"

struct TSK_IMG_INFO;
struct TSK_FS_INFO;

namespace kerf {

// A file found in a folder of a volume.
struct VolumeEntry {
  std::string path;  // inside the volume, from its root, with backslashes: "\Windows\Prefetch\CMD.EXE-4A81B364.pf"
  std::uint64_t mft_entry = 0;
  std::uint16_t sequence = 0;
  // The name was found among the folder's deleted index entries, and the MFT
  // entry it names is free but still describes this file.
  bool deleted = false;
};

// The byte offsets at which volumes may start: every partition of an MBR
// (extended partitions included) or GPT table that holds data, or just 0
// when the image has no partition table. Problems with the table go to
// `problems`, one reason each ("partition table: ..."); a table that can't
// be read at all leaves just 0, so that the image is still tried as one
// volume.
std::vector<std::uint64_t> volume_offsets(TSK_IMG_INFO* image, std::vector<std::string>& problems);

class NtfsVolume {
 public:
  // The NTFS file system starting at byte `offset` of `image`. Null, with the
  // reason, when none opens there ("not an NTFS volume", "damaged NTFS
  // volume: <what The Sleuth Kit said>").
  // `image` must outlive the volume.
  static std::unique_ptr<NtfsVolume> open(TSK_IMG_INFO* image, std::uint64_t offset, std::string& reason);
  ~NtfsVolume();
  NtfsVolume(const NtfsVolume&) = delete;
  NtfsVolume& operator=(const NtfsVolume&) = delete;

  std::uint64_t offset() const noexcept { return m_offset; }
  // The 64-bit volume serial number; Windows shows, and Prefetch files store,
  // its low 32 bits.
  std::uint64_t serial() const noexcept { return m_serial; }

  // Every regular file in `folder` (a path from the root with backslashes,
  // each component matched without regard to case; "\" is the root) and in
  // its subfolders down to `depth` levels below it (0: the folder alone),
  // handed to `found` in a stable order (folder by folder, names as listed,
  // a folder's files before its subfolders), after the walk, with no lock
  // held. Deleted names are kept only while their free MFT entry still
  // describes them (same or next sequence, this folder as a parent, this
  // name) and no name in use in the folder leads to the same entry; only
  // folders in use are entered, none twice. A folder that can't be found
  // or listed adds a reason to `problems` naming it ("\X: no such folder",
  // "\X\Y: can't be listed: ..."); false when `folder` itself can't be.
  bool list(std::string_view folder, unsigned depth, const std::function<void(VolumeEntry&&)>& found,
            std::vector<std::string>& problems);

  // A source reading one entry: its data (through The Sleuth Kit; a deleted
  // file whose clusters now belong to another file fails with the reason),
  // and as facts the $STANDARD_INFORMATION times (modified, accessed, MFT
  // entry changed, born), the $FILE_NAME times, the size and `deleted`.
  // `shown_name` is what name() returns. Safe to use from several threads;
  // the volume must outlive it.
  std::unique_ptr<InputSource> open_file(const VolumeEntry& entry, std::string shown_name);

  // What became of the file with this MFT reference. Thread-safe.
  MftLookup look_up(std::uint64_t mft_entry, std::uint16_t sequence);

  // (free_clusters.cpp) The volume's size in bytes: the clusters its boot
  // sector counts.
  std::uint64_t size() const noexcept;
  // The runs of clusters the volume's $Bitmap marks free, as byte ranges of
  // the volume (cluster number times cluster size), joined where they touch,
  // in increasing order. Clusters past the end of the image are left out:
  // nothing can be read there. Only the bitmap is read, never the clusters.
  // False, with what The Sleuth Kit said, when the bitmap can't be read.
  // Thread-safe.
  bool free_extents(std::vector<ByteExtent>& extents, std::string& reason);

 private:
  NtfsVolume(TSK_FS_INFO* fs, std::uint64_t offset, std::uint64_t serial, NtfsNameFold fold)
      : m_fs(fs), m_offset(offset), m_serial(serial), m_fold(std::move(fold)) {}

  // A folder: its MFT entry and its path as the volume spells it ("" for
  // the root).
  struct Folder {
    std::uint64_t entry;
    std::string path;
  };
  // The following are called with m_lock held.
  // The folder at `path`, its components matched as NTFS matches names;
  // nothing when one is missing or is no folder.
  std::optional<Folder> find_folder(std::string_view path);
  // Adds the folder's regular files to `entries` and, when asked, its
  // subfolders to `subfolders`; false, with the problem, when it can't be
  // listed.
  bool list_folder(const Folder& folder, bool with_subfolders, std::vector<VolumeEntry>& entries,
                   std::vector<Folder>& subfolders, std::vector<std::string>& problems);
  // What the MFT entry says a file is, for a name that does not say:
  // TSK_FS_NAME_TYPE_REG, _DIR or _UNDEF (anything else, or unreadable).
  int type_of(std::uint64_t entry);
  // Whether the free MFT entry a deleted name of `folder` points to still
  // describes the file of that name.
  bool still_describes(std::uint64_t entry, std::uint16_t sequence, std::uint64_t folder, std::string_view name);
  // The path of an allocated entry, found by following its $FILE_NAME
  // parents up to the root; empty when a link on the way is broken.
  std::string path_of(std::uint64_t entry);

  TSK_FS_INFO* m_fs;
  std::uint64_t m_offset;
  std::uint64_t m_serial;
  NtfsNameFold m_fold;
  // Folders already found or listed, by their folded paths.
  std::map<std::string, Folder> m_folders;
  // The Sleuth Kit's file system calls are made one at a time.
  std::mutex m_lock;
};

}  // namespace kerf
