// The names of the files an image is split into: raw images numbered .001,
// .002, ... (or .000, .001, ...), and EWF segments .E01, .E02, ...
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kerf::image {

// Every segment of the raw image whose first file is `first`, in order: the
// file alone when its name does not end in a number, else each numbered file
// that follows it, up to the first number missing. Empty, with the reason,
// when `first` is not the first segment or when a segment after a missing
// one exists ("segment 3 is missing (disk.003)").
std::vector<std::string> numbered_segments(const std::string& first, std::string& reason);

// The name of EWF segment `number` in the set whose first segment is
// `first` ("img.E01" -> "img.E03", keeping the letter's case). Nothing past
// segment 99, where the extensions turn into letters.
std::optional<std::string> ewf_segment_name(const std::string& first, unsigned number);

}  // namespace kerf::image
