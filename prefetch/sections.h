// The walks of a Prefetch image after its header: the file names it loaded,
// the file-metrics array that gives their file references, and the volumes
// it touched. Internal to the parser.
#pragma once

#include <optional>
#include <string>

#include "lib/io/byte_reader.h"
#include "prefetch/header.h"
#include "prefetch/record.h"

namespace kerf {

// Walks the file-name section into `record.loaded_files`. False when the
// section offset lies past the image.
bool read_loaded_files(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record);

// Fills `record.file_references`, one per loaded file, from the file-metrics
// array (versions 23 to 31); needs the loaded files and their offsets.
void read_file_references(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record);

// Appends every volume of the volume block to `record.volumes`. False when
// the block offset lies past the image.
bool read_volumes(const io::ByteReader& image, const PrefetchHeader& header, PrefetchRecord& record);

// Sets `record.app_path` (see PrefetchRecord); needs the loaded files and
// the volumes. When no loaded file names the executable the listed
// directories were searched, and what that search proved comes back, so
// that the hash check need not search them again.
std::optional<HashCheck> find_app_path(const io::ByteReader& image, const PrefetchHeader& header,
                                       PrefetchRecord& record);

}  // namespace kerf
