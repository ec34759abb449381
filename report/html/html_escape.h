// Text for an HTML page, from names nobody vouches for.
//
// Every name on the page comes from a Prefetch file or from a file system:
// whoever wrote them chose every byte. Such a name is first made safe to read
// as in every other layout (control characters, C1 controls, characters
// no one sees such as bidirectional overrides, and bytes that are not UTF-8
// shown as \xNN or \uXXXX), so that the page is valid UTF-8 and no override
// can reorder what the examiner reads; then the five characters that HTML gives a meaning, & < > " and ',
// become character references, so the name can neither open an element nor
// leave the quoted attribute value it stands in. Unicode noncharacters,
// which HTML counts as errors in a page, are shown as \uXXXX (\UXXXXXXXX
// above U+FFFF).
#pragma once

#include <string>
#include <string_view>

namespace kerf {

// Appends `text`, made safe as above, for element text or a double-quoted
// attribute value.
void append_html_text(std::string& out, std::string_view text);

}  // namespace kerf
