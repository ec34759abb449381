// Which path of the executable gives the hash stored in the header.
// Internal to the parser.
#pragma once

#include <optional>

#include "lib/io/byte_reader.h"
#include "prefetch/header.h"
#include "prefetch/record.h"

namespace kerf {

// Fills `record.hash_check`. The candidates, each tried once and in this
// order: the path the header points to; every loaded file whose last path
// component is the executable name (ignoring the case of A-Z), or starts
// with it when the header name is 29 units or longer (Windows cuts long
// names there); then each directory the file lists joined with the
// executable name (see prove_in_directories). A "\VOLUME{...}" path is
// tried with the volume numbers 1 to 128 in its place. Needs the stored
// hash, the loaded files and their offsets, the volumes in the record, and
// the path the header points to (embedded_path_range), which the parser
// has looked up already. `directories`, when given, is what a search of
// the listed directories proved already (find_app_path), used in its place.
void check_executable_hash(const io::ByteReader& image, const PrefetchHeader& header,
                           const std::optional<UnitRange>& embedded, const std::optional<HashCheck>& directories,
                           PrefetchRecord& record);

}  // namespace kerf
