// Text forms used by the timeline writers: visible line-break markers for
// free-text fields and the usual text form of a GUID.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qv {

// Replaces line breaks by visible markers, in one pass: CR LF becomes
// "[CRLF]", an LF followed by a CR (that does not itself start a CR LF pair)
// becomes "[LFCR]", any other LF "[LF]". A lone CR becomes "[CR]" only when
// the text holds no LF at all; otherwise it stays as it is.
void mark_line_breaks(std::string& text);

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower-case hex, no braces. The
// first three fields are read little-endian from the 16 raw bytes, as a GUID
// is stored in Windows structures; the last eight bytes are shown in order.
std::string guid_to_text(std::span<const std::uint8_t, 16> guid);

}  // namespace qv
