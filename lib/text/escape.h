// Names taken from Prefetch files and file names, made safe to show.
//
// Every name inside a Prefetch file is written by whoever wrote the file, and
// every file name by whoever made the file system; no legitimate Windows name
// holds a control character. Written raw, a line feed would split one report
// line into two (a forged timeline record), an escape sequence would
// re-program the examiner's terminal, and a bidirectional override would make
// a name read differently from the bytes it holds. So:
//   - each byte below 0x20, and 0x7F, is shown as "\x" and two lower-case
//     hex digits;
//   - the characters an examiner can't see or that change how the rest
//     reads (see is_hidden_character) are shown as "\u" and four lower-case
//     hex digits ("\U" and eight above U+FFFF);
//   - each byte that is not part of well-formed UTF-8 is shown as "\x" and
//     two hex digits, so that the text written is always UTF-8.
// Every other character stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace kerf::text {

// Whether a character is one no layout may write as it is: the C1 controls
// U+0080..U+009F (U+009B starts a terminal command); every format control
// (Unicode category Cf: the direction marks, embeddings, overrides and
// isolates, the zero-width space and joiners, U+FEFF, the tag characters);
// the line and paragraph separators U+2028 and U+2029 (a line break to many
// readers of JSON Lines); and the other characters Unicode lets a font draw
// as nothing (default ignorable: the Hangul fillers, the variation
// selectors, the combining grapheme joiner). Each of them can make two names
// that look the same differ, or a name read otherwise than its bytes.
bool is_hidden_character(char32_t c) noexcept;

// Appends `text` to `out`, escaped as above.
void append_escaped(std::string& out, std::string_view text);

// `before`, then `name` escaped, then `after`: every message that names a
// file, a directory or a typed value ("prob reading file <name>: <reason>").
// A hostile name must not steer the examiner's terminal or forge a line.
std::string message_naming(std::string_view before, std::string_view name, std::string_view after);

}  // namespace kerf::text
