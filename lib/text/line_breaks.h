// Visible markers for line breaks in the free-text fields of the delimited
// layouts, so that a name holding a line break can't split a record in two.
#pragma once

#include <string>

namespace kerf::text {

// Replaces line breaks by visible markers, in one pass: CR LF becomes
// "[CRLF]", an LF followed by a CR (that does not itself start a CR LF pair)
// becomes "[LFCR]", any other LF "[LF]". A lone CR becomes "[CR]" only when
// the text holds no LF at all; otherwise it stays as it is.
void mark_line_breaks(std::string& text);

}  // namespace kerf::text
