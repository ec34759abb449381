// Well-formed UTF-8 out of the names kerf keeps, for outputs that promise it.
//
// Names reach kerf in two ways, and neither is sure to be UTF-8. A file name
// is whatever bytes the file system holds. A name inside a Prefetch image is
// UTF-16 turned into UTF-8 unit by unit, so a surrogate unit arrives as a
// three-byte sequence of its own (ED A0 80 .. ED BF BF), which UTF-8 forbids.
#pragma once

#include <string>
#include <string_view>

namespace kerf::text {

// True when every byte of `text` is below 0x80: such a text is UTF-8 as it
// stands.
bool is_ascii(std::string_view text) noexcept;

// Appends `text` to `out` as well-formed UTF-8. Well-formed characters are
// kept. A high surrogate directly followed by a low one (a UTF-16 pair stored
// unit by unit) becomes the one character the pair stands for, since that is
// what the name held. A surrogate without its partner becomes one U+FFFD, and
// so does every other byte that starts no well-formed character.
void append_repaired_utf8(std::string& out, std::string_view text);

}  // namespace kerf::text
