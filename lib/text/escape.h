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
//   - the C1 controls U+0080..U+009F (U+009B starts a terminal command) and
//     the bidirectional overrides and isolates U+202A..U+202E and
//     U+2066..U+2069 are shown as "\u" and four lower-case hex digits;
//   - each byte that is not part of well-formed UTF-8 is shown as "\x" and
//     two hex digits, so that the text written is always UTF-8.
// Every other character stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace kerf::text {

// Appends `text` to `out`, escaped as above.
void append_escaped(std::string& out, std::string_view text);

}  // namespace kerf::text
