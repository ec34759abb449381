// UTF-8: the one decoder of the program, and the encoder.
//
// All text kerf keeps is UTF-8. Names arrive from two places: file names,
// which are whatever bytes the file system holds, and the UTF-16 names inside
// Prefetch images, which are turned into UTF-8 unit by unit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kerf::text {

// The character at the start of a non-empty `text`. A well-formed sequence
// (no overlong form, no surrogate, nothing above U+10FFFF) gives its code
// point and length; any other lead byte is a character of its own, one byte
// long and not valid.
struct Utf8Char {
  char32_t code_point;
  std::size_t length;
  bool valid;
};
Utf8Char decode_utf8_char(std::string_view text) noexcept;

// Appends the UTF-8 form of one code point; nothing for a code point above
// U+10FFFF. Surrogate code points are encoded like any other (three bytes).
void append_utf8(std::string& out, char32_t code_point);

}  // namespace kerf::text
