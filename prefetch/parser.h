// Decoding of uncompressed Prefetch images (format versions 17, 23, 26, 30
// and 31) into a PrefetchRecord.
//
// Every read goes through io::ByteReader: a damaged or hostile image gives
// false or a shorter list, never a read outside the image.
#pragma once

#include <cstdint>
#include <span>

#include "codec/xpress_decoder.h"
#include "prefetch/record.h"

namespace kerf {

enum class ParseResult {
  ok,                // the record is complete
  not_prefetch,      // too short, no "SCCA" signature, or a nested container that does not decode
  sections_outside,  // the file-name or volume section starts past the end of the image
};

// What a decode works out beyond the facts every layout shows.
struct DecodeOptions {
  // Look for the executable's path that gives the stored hash
  // (PrefetchRecord::hash_check): up to 128 hashes for each candidate path.
  bool check_executable_hash = false;
  // Read the NTFS file reference of every loaded file
  // (PrefetchRecord::file_references): only the JSON record shows them, and
  // the walk over the metrics array costs every other layout time.
  bool read_file_references = false;
  // Ask the file system for the file's birth time (SourceFile::born): only
  // the JSON record shows it.
  bool read_birth_time = false;
  // For a file read from a disk image: match its volumes to the image's
  // (Volume::image_volume) and look up what became of each loaded file
  // (PrefetchRecord::loaded_file_fates). Implies read_file_references.
  bool look_up_loaded_files = false;
};

// Decodes one image into `record` (which the caller has cleared; the
// source-file facts are left alone). A compressed container at the start of
// the image is undone first, by `decoder` (the loader lends its own, whose
// buffers a bulk run reuses). Unless the result is ok the record may be
// partly filled.
ParseResult parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                                 const DecodeOptions& options, codec::XpressDecoder& decoder);
// Decodes a plain image carved from a stream of bytes, with no container
// undone. When `record.cut` is set (by the caller, who knows the image
// stops short of its declared size), the sections that lie beyond what was
// read are left out and marked there, and the hash is not checked.
ParseResult parse_carved_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                               const DecodeOptions& options);

// The same with a decoder of its own.
ParseResult parse_prefetch_image(std::span<const std::uint8_t> image, PrefetchRecord& record,
                                 const DecodeOptions& options = {});

}  // namespace kerf
