// Decoding of uncompressed Prefetch images (format versions 17, 23, 26, 30
// and 31) into a PrefetchEntry.
//
// Every function reads the image through qv::ByteReader only; a damaged or
// hostile image gives false or a partly filled record, never a read outside
// the image.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "prefetch/prefetch_entry.h"

namespace kerf {

// Decodes one image into `entry` (which the caller has cleared). A compressed
// container at the start of the image is undone first. True when the image
// is a Prefetch image whose file-name and volume sections could be walked;
// the record is then complete. On false the record may be partly filled.
bool parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchEntry& entry);

// At least 228 bytes with "SCCA" at offset 4. The version is not examined.
bool is_prefetch_image(std::span<const std::uint8_t> image);

// The last run time and run count of the header. Both are set to 0 first;
// false when the image has no "SCCA" signature, a header size field of 227 or
// less, a version (or Windows 10/11 layout selector) without run information,
// or is too short to hold the fields.
bool read_run_info(std::span<const std::uint8_t> image, std::uint64_t& last_run_time,
                   std::uint32_t& run_count);

// Walks the file-name section into `loaded_files`, keyed by the image offset
// of each name. `exe_name` is the executable name of the header; it is
// replaced by the first file name that contains it. False when the image is
// not a Prefetch image or the section offset lies past its end.
bool read_loaded_files(std::span<const std::uint8_t> image, std::wstring& exe_name,
                       std::map<std::uint64_t, std::string>& loaded_files);

// Appends every volume (device path, serial, creation time, directory names)
// to the four volume containers of `entry`. False when the image is not a
// Prefetch image or the volume block offset lies past its end.
bool read_volumes(std::span<const std::uint8_t> image, PrefetchEntry& entry);

}  // namespace kerf
