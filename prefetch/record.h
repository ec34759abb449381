// The decoded content of one Prefetch file, and the facts of the file itself.
//
// The loader fills a record; every report layout reads it and nothing else of
// the file. All text is UTF-8; all times are FILETIME values (100-ns ticks
// since 1601-01-01 UTC, 0 for "none"), turned into dates only by the reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/container.h"
#include "prefetch/name_list.h"
#include "sources/source_file.h"
#include "sources/volume_lookup.h"

namespace kerf {

// How the file was stored on disk: the codec's own kinds.
using codec::ContainerKind;

// Where a name stands in the decoded image: its first unit and its length
// in units.
struct UnitRange {
  std::uint64_t offset = 0;
  std::uint64_t units = 0;
};

struct Volume {
  std::string device_path;  // as the file stores it
  std::uint32_t serial = 0;
  std::uint64_t created = 0;
  NameList directories;  // in the volume's list order
  std::vector<UnitRange> directory_ranges;  // where each one stands in the image
  // A "\VOLUME{<creation time>-<serial>}" name read against the entry's own
  // creation time and serial: nothing when the name has no such form.
  std::optional<bool> name_matches;
  // For a file read from a disk image: the byte offset of the image's NTFS
  // volume with this serial number; nothing when none matches, or for a
  // loose file.
  std::optional<std::uint64_t> image_volume;
};

// An NTFS file reference of a loaded file, from the file-metrics array.
struct FileReference {
  std::uint64_t mft_entry = 0;     // low 48 bits
  std::uint16_t sequence = 0;      // high 16 bits
};

// What became of a loaded file, looked up in the disk image the Prefetch
// file was read from.
struct LoadedFileFate {
  std::optional<std::uint64_t> image_volume;  // the volume it was on, when matched
  MftLookup lookup;  // `unknown` without a reference or a matched volume
};

// What the hash stored in the header proves about the executable.
struct HashCheck {
  bool verified = false;
  // The \DEVICE\HARDDISKVOLUMEn\... path that gives the stored hash, and n.
  std::string device_path;
  std::uint32_t volume_number = 0;
};

// A find carved from a stream of bytes that stops short of the size its
// header declares, or whose sections hold something else: how much was
// read, and which sections lay beyond it or were overwritten. Those are
// left out, never shown in part.
struct CutShort {
  std::uint64_t read = 0;      // bytes of the decoded image that could be read
  std::uint64_t declared = 0;  // bytes the header says the image holds
  bool loaded_files = false;   // the loaded files and their file references
  bool volumes = false;        // the volumes and their directories
  // The sections marked were read, but do not hold what the header says:
  // the header's clusters survived, the ones after it were reused.
  bool overwritten = false;
};

struct PrefetchRecord {
  std::uint32_t format_version = 0;
  ContainerKind container = ContainerKind::none;
  std::string exe_name;  // from the header, at most 30 UTF-16 units
  // The executable's full path: the first loaded file whose last path
  // component is the header's executable name (ignoring the case of A-Z;
  // the component begins with it when Windows cut the name at 29 units);
  // else a directory the file lists joined with the executable name, when
  // the stored hash proves that path; else the header name; "unk" when that
  // is empty.
  std::string app_path;
  std::uint32_t run_count = 0;
  // Slot 1 of the run times: the run Windows recorded last.
  std::uint64_t last_run_time = 0;
  // Slots 2 to 8, in the order stored, each non-zero slot once (two equal
  // times are two recorded runs).
  std::vector<std::uint64_t> previous_run_times;
  // Whether the stored run times, zeros left out, run newest first. They do
  // not when runs of the program overlapped or the clock was set back.
  bool run_times_in_order = true;
  NameList loaded_files;                          // in file order
  // Where each loaded file's name starts in the decoded image, in file order.
  std::vector<std::uint64_t> loaded_file_offsets;
  std::vector<Volume> volumes;
  SourceFile source;  // the file itself, as the place that holds it shows it

  // Facts for verifying the executable.
  std::uint32_t stored_hash = 0;  // the hash of the executable's path, from the header
  // The executable's full path as the file itself stores it (version 31,
  // and version 30 in its later layout); empty when it has none.
  std::string embedded_path;
  // One per loaded file, in file order; nothing where the file gives no
  // reference (version 17, or an all-zero reference).
  std::vector<std::optional<FileReference>> file_references;
  // One per loaded file, in file order, for a file read from a disk image
  // when the load was asked for it; empty otherwise.
  std::vector<LoadedFileFate> loaded_file_fates;
  // Filled only when the load was asked to check the hash.
  HashCheck hash_check;
  // Set for a carved find cut short; its sections that could not be read
  // whole are then empty and marked here.
  std::optional<CutShort> cut;
  // The "MAM" container's CRC32, when it carries one.
  bool checksum_present = false;
  bool checksum_matches = false;

  // Whether the container's checksum holds; nothing when it carries none.
  std::optional<bool> checksum_verdict() const noexcept {
    return checksum_present ? std::optional<bool>(checksum_matches) : std::nullopt;
  }

  // "Win10 Prefetch", ...: the name of the format version.
  std::string_view format_label() const noexcept;

  // Everything back to its empty state; buffers keep their capacity.
  void clear();
};

// The name under which a decoded file of `version` is reported.
std::string_view format_label(std::uint32_t version) noexcept;

// "MAM", "MEM0", "LZ77", or "none" for a plain image.
std::string_view container_label(ContainerKind kind) noexcept;

}  // namespace kerf
